#pragma once

#include <string>

// The CSV format options; they live in the settings so the next export starts from them.
struct CsvOptions {
    char16_t delimiter = u',';  // ',' or '\t'
    bool header = true;
    bool quoteAll = false;
    std::u16string encoding = u"UTF8BOM";  // "UTF8BOM", "UTF8" or "SJIS"
    std::u16string nullText;
};

// The rows the user chose to export.
enum CsvScope : int {
    CsvScope_AllRows = 0,
    CsvScope_FilteredRows = 1,
    CsvScope_CurrentPage = 2,
};
