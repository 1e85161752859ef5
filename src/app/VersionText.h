#pragma once

#include <string>

// What `--version` prints for both programs: the program's name and version, then the
// inflate library in use, so that a bug report says which one decoded the data.
std::string VersionText(const char* program);
