#pragma once

#include <memory>
#include <string>

#include "dump/DumpFile.h"

// Detects the kind of dump at path, creates its reader and opens it (the scan is left to
// the caller). Null with the message in error when the path is refused or the open fails.
std::unique_ptr<IDumpFile> CreateDumpReader(const std::u16string& path, std::u16string& error);
