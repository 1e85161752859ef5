#include "support/FixtureReading.h"

#include <gtest/gtest.h>

#include "app/CreateDumpReader.h"
#include "sql/Encoding.h"
#include "store/CopyLine.h"
#include "support/TestPaths.h"

std::unique_ptr<IDumpFile> OpenAndScanFixture(const std::string& file,
                                              std::vector<std::u16string>* log) {
    std::u16string error;
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(FixturePathW("dumps/" + file), error);
    EXPECT_TRUE(dump) << file << ": " << U8(error);
    if (!dump) return nullptr;
    if (log != nullptr) dump->SetLogger([log](const std::u16string& l) { log->push_back(l); });
    EXPECT_TRUE(dump->Scan(nullptr, error)) << file << ": " << U8(error);
    return dump;
}

const TableEntry* FindFixtureTable(IDumpFile& dump, const std::string& schema,
                                   const std::string& name,
                                   const std::optional<std::string>& database) {
    for (const TableEntry& t : dump.GetTables()) {
        if (database && U8(t.database) != *database) continue;
        if (U8(t.schema) == schema && U8(t.name) == name) return &t;
    }
    return nullptr;
}

std::vector<std::vector<std::optional<std::string>>> DecodeCopyCells(const std::string& copy,
                                                                     int codePage) {
    std::vector<std::vector<std::optional<std::string>>> rows;
    std::vector<CopyField> fields;
    size_t start = 0;
    while (start < copy.size()) {
        size_t lf = copy.find('\n', start);
        if (lf == std::string::npos) lf = copy.size();
        SplitCopyLine(copy.data() + start, lf - start, fields, codePage);
        std::vector<std::optional<std::string>> row;
        for (const CopyField& f : fields) {
            if (f.isNull) {
                row.emplace_back(std::nullopt);
            } else {
                row.emplace_back(WideToUtf8(ToWide(f.bytes, codePage)));
            }
        }
        rows.push_back(std::move(row));
        start = lf + 1;
    }
    return rows;
}
