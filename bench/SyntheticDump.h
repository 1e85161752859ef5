#pragma once

// A dump of one generated table, public.wide: 20 columns, integers in the even ones
// (row number times column number), short texts in the odd ones ("東京都" in every third,
// "text" otherwise) and a NULL now and then. Rows are made as they are read, so a table of
// any size needs no file.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "GeneratedDump.h"
#include "dump/DumpFile.h"
#include "jobs/JobContext.h"

namespace bench {

constexpr int kColumns = 20;

// One table of generated rows: numbers, short texts, a NULL now and then.
class CSyntheticDump : public CGeneratedDump {
public:
    explicit CSyntheticDump(uint64_t rows)
        : CGeneratedDump(u"synthetic.dump", MakeTable(), rows), m_rows(rows) {
        m_info.formatName = u"Custom";
        m_info.database = u"bench";
        m_info.encoding = u"UTF8";
    }
    bool ReadTableData(const TableEntry&, IDataSink& sink, IJobContext* job,
                       std::u16string& error) override {
        std::string chunk;
        char number[32];
        for (uint64_t row = 0; row < m_rows; ++row) {
            for (int c = 0; c < kColumns; ++c) {
                if (c > 0) chunk += '\t';
                if (c % 2 == 0) {
                    std::snprintf(number, sizeof number, "%llu",
                                  static_cast<unsigned long long>(row * (c + 1)));
                    chunk += number;
                } else if ((row + c) % 17 == 0) {
                    chunk += "\\N";
                } else {
                    chunk += c % 3 == 0 ? "東京都" : "text";
                }
            }
            chunk += '\n';
            if (chunk.size() >= (1 << 20)) {
                if (job != nullptr && job->IsCancelled()) {
                    error = kCancelledMessage;
                    return false;
                }
                if (job != nullptr) job->SetProgress(static_cast<int>(row * 100 / m_rows));
                if (!sink.Write(chunk.data(), chunk.size())) return false;
                chunk.clear();
            }
        }
        chunk += "\\.\n";
        return sink.Write(chunk.data(), chunk.size());
    }

private:
    static TableEntry MakeTable() {
        TableEntry table;
        table.schema = u"public";
        table.name = u"wide";
        for (int c = 0; c < kColumns; ++c) {
            ColumnInfo column;
            column.name = u"c" + std::u16string(1, static_cast<char16_t>(u'a' + c));
            column.type = c % 2 == 0 ? u"integer" : u"text";
            table.columns.push_back(column);
        }
        return table;
    }

    uint64_t m_rows;
};

}  // namespace bench
