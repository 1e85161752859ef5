#pragma once

#include <string>
#include <vector>

// One line of tests/fixtures/expected/dumps.tsv: a dump made by pg_dump or pg_dumpall.
struct FixtureDump {
    std::string file;         // under tests/fixtures/dumps/
    std::string database;     // or "cluster" for pg_dumpall
    std::string format;       // custom, directory, plain, tar
    std::string compression;  // none, gzip
    std::string encoding;     // as the dump states it
    std::string content;      // all, schema, data
    std::string rows;         // copy, inserts, column-inserts, inserts-3, none
};

std::vector<FixtureDump> LoadFixtureDumps();
// Splits a line at TAB.
std::vector<std::string> SplitTabs(const std::string& line);
