#pragma once

#include <set>
#include <string>

// The names of this process's temporary files in the program's temporary folder.
std::set<std::u16string> TempFilesOfThisProcess();
