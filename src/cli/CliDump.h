#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CDumpSession;
class IJobContext;

// The dump path a command-line argument names: "-" is standard input.
std::u16string DumpPathArgument(const std::string& argument);

// Opens the dump at path into the session for work on single tables: an archive is not
// scanned (its table of contents lists every table), a plain script is.
bool OpenDumpForTables(CDumpSession& session, const std::string& path, IJobContext& job,
                       std::u16string& error);

// The position of the table a command-line argument names (see CDumpSession::FindTable);
// -1 with the message in error.
ptrdiff_t FindTableArgument(const CDumpSession& session, const std::string& name,
                            const std::string* database, std::u16string& error);

// Parses a non-negative decimal number argument.
bool ParseCount(const std::string& text, uint64_t& value);

// The sort memory budget of the settings file (SORT_MEMORY_MB), as the window uses it.
size_t CliSortMemoryBytes();
