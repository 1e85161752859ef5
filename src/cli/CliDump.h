#pragma once

#include <memory>
#include <string>

#include "dump/DumpFile.h"

class IJobContext;

// Opens a dump and scans it, for the row counts of every table.
std::unique_ptr<IDumpFile> OpenScannedDump(const std::string& path, IJobContext& job,
                                           std::u16string& error);
// Opens a dump for work on single tables. An archive's catalogue is complete without a
// scan, and its table data is found through the table of contents, so the scan (which
// reads all data once) is skipped there; a plain script is scanned to build its catalogue.
std::unique_ptr<IDumpFile> OpenDumpForTables(const std::string& path, IJobContext& job,
                                             std::u16string& error);

// The table a command-line argument names: "schema.name" as the table list shows it, or
// a bare name when only one table has it. database narrows a whole-cluster dump.
const TableEntry* FindTableArgument(IDumpFile& dump, const std::string& name,
                                    const std::string* database, std::u16string& error);

// Parses a non-negative decimal number argument.
bool ParseCount(const std::string& text, uint64_t& value);
