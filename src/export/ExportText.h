#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "export/CsvOptions.h"

struct DdlObject;

// Drops every CR and writes every LF as CR LF.
std::u16string ToCrLf(const std::u16string& text);
// The bytes with the UTF-8 byte order mark in front.
std::string WithUtf8Bom(const std::string& utf8);

// The DDL of the whole dump: every definition followed by an empty line. For a
// whole-cluster dump only the objects of one database ("" for those outside any).
std::u16string BuildWholeDumpDdl(const std::vector<DdlObject>& objects, bool isCluster,
                                 const std::u16string& database);

// "ddl_all.sql", the table name + ".sql", or "ddl.sql", with characters a file name cannot
// hold replaced by "_".
std::u16string DefaultDdlFileName(const std::u16string& tableName, bool wholeDump);
// The qualified table name + ".csv", with those characters and control characters replaced.
std::u16string DefaultCsvFileName(const std::u16string& qualifiedName);

// The store rows each export scope covers. pageStart and pageSize describe the grid page,
// in view rows (matches while filtered).
std::vector<uint64_t> CsvRowList(CsvScope scope, uint64_t rowCount, bool filtered,
                                 const std::vector<size_t>& matches, size_t pageStart,
                                 size_t pageSize);
// Every column, or the visible ones in display order.
std::vector<int32_t> CsvColumnList(size_t columnCount, bool visibleOnly,
                                   const std::vector<int32_t>& visibleColumns);
