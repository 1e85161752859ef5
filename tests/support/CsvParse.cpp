#include "support/CsvParse.h"

bool ParseCsv(const std::string& text, char delimiter,
              std::vector<std::vector<std::string>>& records,
              std::vector<std::vector<bool>>* quoted) {
    records.clear();
    if (quoted != nullptr) quoted->clear();
    size_t i = 0;
    std::vector<std::string> record;
    std::vector<bool> recordQuoted;
    while (i < text.size()) {
        std::string field;
        bool wasQuoted = false;
        if (text[i] == '"') {
            wasQuoted = true;
            ++i;
            for (;;) {
                if (i >= text.size()) return false;
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
        } else {
            while (i < text.size() && text[i] != delimiter && text[i] != '\r' && text[i] != '\n') {
                if (text[i] == '"') return false;
                field += text[i++];
            }
        }
        record.push_back(field);
        recordQuoted.push_back(wasQuoted);
        if (i < text.size() && text[i] == delimiter) {
            ++i;
            if (i == text.size()) return false;
            continue;
        }
        if (i + 1 < text.size() + 1 && text.compare(i, 2, "\r\n") == 0) {
            i += 2;
        } else {
            return false;  // every record ends in CR LF
        }
        records.push_back(record);
        if (quoted != nullptr) quoted->push_back(recordQuoted);
        record.clear();
        recordQuoted.clear();
    }
    return record.empty();
}
