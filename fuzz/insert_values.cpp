// INSERT statements turned into COPY text, and the row counter of the scan.
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "plain/InsertParser.h"

KALVEX_FUZZ_TARGET(insert_values) {
    if (size == 0) return;
    static const int kCodePages[] = {65001, 932, 936, 949, 950, 54936, 20932, 1252};
    const int codePage = kCodePages[data[0] % 8];
    const std::string statement(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string schema, name;
    std::vector<std::string> columns, rows;
    ParseInsertStatement(statement, schema, name, columns, rows, codePage);
    CInsertRowCounter counter(codePage);
    const size_t values = statement.find("VALUES");
    if (values != std::string::npos) {
        // In two pieces, as the scan sees a statement split across reads.
        const std::string tail = statement.substr(values + 6);
        const size_t half = tail.size() / 2;
        counter.Feed(tail.data(), half);
        counter.Feed(tail.data() + half, tail.size() - half);
    }
}
