#pragma once

#include <string>
#include <vector>

// An RFC 4180 reader for checking exported files: quoted fields with doubled quotes and
// embedded line breaks, records ending in CR LF. Returns false on malformed input.
bool ParseCsv(const std::string& text, char delimiter,
              std::vector<std::vector<std::string>>& records,
              std::vector<std::vector<bool>>* quoted = nullptr);
