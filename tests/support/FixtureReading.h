#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dump/DumpFile.h"

// Opens tests/fixtures/dumps/<file> and scans it; failures are recorded as test failures
// and give null. log, when given, receives the reader's log lines.
std::unique_ptr<IDumpFile> OpenAndScanFixture(const std::string& file,
                                              std::vector<std::u16string>* log = nullptr);

// The table with that schema and name (in that database when database is given).
const TableEntry* FindFixtureTable(IDumpFile& dump, const std::string& schema,
                                   const std::string& name,
                                   const std::optional<std::string>& database = std::nullopt);

// Decoded cells of COPY text as UTF-8, NULL as nullopt.
std::vector<std::vector<std::optional<std::string>>> DecodeCopyCells(const std::string& copy,
                                                                     int codePage);
