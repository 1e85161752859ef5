#pragma once

#include <memory>
#include <string>

#include "dump/DumpFile.h"

class IJobContext;

// Opens a dump and scans it, as every command that looks inside a dump needs.
std::unique_ptr<IDumpFile> OpenScannedDump(const std::string& path, IJobContext& job,
                                           std::u16string& error);

// The table a command-line argument names: "schema.name" as the table list shows it, or
// a bare name when only one table has it. database narrows a whole-cluster dump.
const TableEntry* FindTableArgument(IDumpFile& dump, const std::string& name,
                                    const std::string* database, std::u16string& error);

// Parses a non-negative decimal number argument.
bool ParseCount(const std::string& text, uint64_t& value);
