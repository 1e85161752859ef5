#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class IDumpFile;
class IJobContext;

enum class SqlContent { DefinitionAndData, DefinitionOnly, DataOnly };

enum class SqlRowVerdict { Keep, Skip, Fail };
// Decides on one COPY line of the dump (without its LF); Fail puts the reason in error.
using SqlRowTest =
    std::function<SqlRowVerdict(const char* line, size_t length, std::u16string& error)>;

// One table of the script and the rows it gets: all of them, the ones a test keeps, or
// the given row numbers (0-based, ascending).
struct SqlTableChoice {
    size_t tableIndex = 0;
    SqlRowTest test;
    const std::vector<uint64_t>* rows = nullptr;
};

struct SqlScriptOptions {
    SqlContent content = SqlContent::DefinitionAndData;
    bool noOwner = false;
    bool noPrivileges = false;
    // Without a table list: the whole dump; for a whole-cluster dump only this database.
    std::u16string database;
};

// Writes a psql script that rebuilds the chosen tables (none: every table and object of the
// dump) with their definitions split around the data as pg_dump splits them. The rows go
// out as the dump holds them, byte for byte. A file that was opened and not finished is
// deleted. rowsWritten counts the rows of every table.
bool WriteSqlScript(IDumpFile& dump, const std::vector<SqlTableChoice>& tables,
                    const SqlScriptOptions& options, const std::u16string& path, IJobContext* job,
                    uint64_t& rowsWritten, std::u16string& error);
