// Rows tested as the dump gives them (filter/RowStream.h) against the same rows loaded into
// the row store: the command line's output must not depend on which of the two it uses.
#include <gtest/gtest.h>

#include "app/CreateDumpReader.h"
#include "export/CsvWriter.h"
#include "export/ExportText.h"
#include "filter/RowFilter.h"
#include "filter/RowStream.h"
#include "store/CopyLine.h"
#include "store/TableCursor.h"
#include "store/TableData.h"
#include "support/Fixtures.h"
#include "support/MemoryDump.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

std::vector<uint64_t> AllRows(size_t count) {
    std::vector<uint64_t> rows(count);
    for (size_t i = 0; i < count; ++i) rows[i] = i;
    return rows;
}

// The CSV the streaming export writes for the table, every column, no filter.
std::string StreamedCsv(IDumpFile& dump, const TableEntry& table, const CsvOptions& options,
                        const std::u16string& path) {
    const int codePage = table.codePage != 0 ? table.codePage : dump.GetInfo().codePage;
    CCsvFileWriter writer;
    std::u16string error;
    EXPECT_TRUE(writer.Open(path, table, CsvColumnList(table.columns.size(), false, {}), options,
                            codePage, error))
        << U8(error);
    const RowStreamReceiver write = [&writer](CStreamRow& row, std::u16string&) {
        const bool ok = writer.TakesFields() ? writer.WriteFields(row.Fields())
                                             : writer.WriteCells(row.Cells());
        return ok ? RowStreamStep::Next : RowStreamStep::Fail;
    };
    EXPECT_TRUE(StreamTableRows(dump, table, nullptr, nullptr, write, error)) << U8(error);
    EXPECT_TRUE(writer.Finish(error)) << U8(error);
    return ReadFileBytes(U8(path));
}

// A condition on the table's first column, so the streaming filter decodes one field.
std::u16string FirstColumnCondition(const TableEntry& table) {
    std::u16string name;
    for (char16_t c : table.columns[0].name) {
        if (c == u'"') name += u'"';
        name += c;
    }
    return u"\"" + name + u"\" IS NOT NULL AND \"" + name + u"\" <> '1'";
}

}  // namespace

TEST(RowStreamTest, EveryFixtureTableStreamsAsTheRowStoreReadsIt) {
    ScratchDir scratch;
    std::vector<FixtureDump> dumps = LoadFixtureDumps();
    for (const FixtureDump& d : LoadPg18FixtureDumps()) dumps.push_back(d);
    size_t tablesSeen = 0;
    for (const FixtureDump& d : dumps) {
        SCOPED_TRACE(d.file);
        std::u16string error;
        std::unique_ptr<IDumpFile> dump = CreateDumpReader(FixturePathW("dumps/" + d.file), error);
        ASSERT_TRUE(dump) << U8(error);
        ASSERT_TRUE(dump->Scan(nullptr, error)) << U8(error);
        for (const TableEntry& table : dump->GetTables()) {
            if (table.columns.empty()) continue;
            SCOPED_TRACE(U8(table.QualifiedName()));
            CTableData data;
            const bool loaded = data.Load(*dump, table, nullptr, error);
            std::u16string streamError;
            size_t streamed = 0;
            bool same = true;
            CTableCursor cursor(data);
            RowCells stored;
            const RowStreamReceiver compare = [&](CStreamRow& row, std::u16string&) {
                same = same && row.Index() == streamed && cursor.GetRow(streamed, stored) &&
                       row.Cells().size() == stored.size();
                for (size_t c = 0; same && c < stored.size(); ++c) {
                    same = row.Cells()[c].isNull == stored[c].isNull &&
                           row.Cells()[c].text == stored[c].text;
                }
                ++streamed;
                return RowStreamStep::Next;
            };
            const bool read = StreamTableRows(*dump, table, nullptr, nullptr, compare, streamError);
            // A table the store cannot load cannot be streamed either, with the same message.
            ASSERT_EQ(read, loaded) << U8(streamError) << " / " << U8(error);
            if (!loaded) {
                EXPECT_EQ(streamError, error);
                continue;
            }
            ++tablesSeen;
            EXPECT_TRUE(same);
            EXPECT_EQ(streamed, data.GetRowCount());

            // The same CSV bytes, in the fast UTF-8 form and through UTF-16 (Shift_JIS).
            for (const char16_t* encoding : {u"UTF8BOM", u"SJIS"}) {
                CsvOptions options;
                options.encoding = encoding;
                options.nullText = u"\\N";
                uint64_t written = 0;
                const std::u16string stored = scratch.FileW("stored.csv");
                ASSERT_TRUE(WriteCsvFile(
                    data, table, CsvColumnList(table.columns.size(), false, {}),
                    AllRows(data.GetRowCount()), options, stored, nullptr, written, error))
                    << U8(error);
                EXPECT_EQ(StreamedCsv(*dump, table, options, scratch.FileW("streamed.csv")),
                          ReadFileBytes(U8(stored)));
            }

            // A filter passes the same rows: the keyword reads every cell, the condition one.
            for (const auto& [where, keyword] :
                 {std::pair<std::u16string, std::u16string>{u"", u"a"},
                  {FirstColumnCondition(table), u""}}) {
                CRowFilter filter;
                ASSERT_TRUE(filter.Prepare(where, keyword, table.columns, error)) << U8(error);
                std::vector<size_t> expected;
                const bool ran = filter.Run(data, nullptr, expected, error);
                std::vector<size_t> got;
                const bool streamedOk = StreamTableRows(
                    *dump, table, &filter, nullptr,
                    [&got](CStreamRow& row, std::u16string&) {
                        got.push_back(static_cast<size_t>(row.Index()));
                        return RowStreamStep::Next;
                    },
                    streamError);
                EXPECT_EQ(streamedOk, ran);
                if (ran) {
                    EXPECT_EQ(got, expected);
                } else {
                    EXPECT_EQ(streamError, error);
                }
            }
        }
    }
    EXPECT_GE(tablesSeen, 100u);
}

namespace {

// Passes the reader's pieces on and counts the bytes the reader got to deliver.
class CountingDump : public MemoryDump {
public:
    using MemoryDump::MemoryDump;
    bool ReadTableData(const TableEntry& table, IDataSink& sink, IJobContext* job,
                       std::u16string& error) override {
        struct Counter : IDataSink {
            IDataSink* next = nullptr;
            uint64_t bytes = 0;
            bool Write(const char* data, size_t length) override {
                bytes += length;
                return next->Write(data, length);
            }
        } counter;
        counter.next = &sink;
        const bool ok = MemoryDump::ReadTableData(table, counter, job, error);
        delivered = counter.bytes;
        return ok;
    }
    uint64_t delivered = 0;
};

}  // namespace

TEST(RowStreamTest, StopCancelAndFailuresEndTheRead) {
    // 100,000 rows of 12 bytes, in pieces of 4 KiB.
    std::string block;
    for (int i = 0; i < 1000; ++i) block += "row\t" + std::to_string(10000000 + i) + "\n";
    CountingDump dump(block);
    dump.repeat = 100;
    dump.pieces.assign(block.size() / 4096 + 1, 4096);
    const uint64_t total = block.size() * dump.repeat;
    std::u16string error;

    // Stop: the reader is told at once and the read counts as a success.
    std::vector<uint64_t> seen;
    ASSERT_TRUE(StreamTableRows(
        dump, dump.Table(), nullptr, nullptr,
        [&seen](CStreamRow& row, std::u16string&) {
            seen.push_back(row.Index());
            return seen.size() == 5 ? RowStreamStep::Stop : RowStreamStep::Next;
        },
        error));
    EXPECT_EQ(seen, (std::vector<uint64_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(dump.delivered, 4096u);

    // The receiver's own failure and message.
    EXPECT_FALSE(StreamTableRows(
        dump, dump.Table(), nullptr, nullptr,
        [](CStreamRow& row, std::u16string& message) {
            if (row.Index() < 2000) return RowStreamStep::Next;
            message = u"full";
            return RowStreamStep::Fail;
        },
        error));
    EXPECT_EQ(error, u"full");
    EXPECT_LT(dump.delivered, total / 10);

    // A condition that fails to evaluate on some row.
    CRowFilter filter;
    ASSERT_TRUE(filter.Prepare(u"c1 % 0 = 1", u"", dump.Table().columns, error));
    const RowStreamReceiver none = [](CStreamRow&, std::u16string&) { return RowStreamStep::Next; };
    EXPECT_FALSE(StreamTableRows(dump, dump.Table(), &filter, nullptr, none, error));
    EXPECT_EQ(error.rfind(u"WHERE 条件式の評価に失敗しました。\n", 0), 0u) << U8(error);

    // Cancel: polled every 16,384 rows.
    TestJob job(2);
    EXPECT_FALSE(StreamTableRows(dump, dump.Table(), nullptr, &job, none, error));
    EXPECT_EQ(error, kCancelledMessage);
    EXPECT_LT(dump.delivered, total / 2);

    // Read to the end, the progress reaches 100.
    TestJob whole;
    size_t rows = 0;
    ASSERT_TRUE(StreamTableRows(
        dump, dump.Table(), nullptr, &whole,
        [&rows](CStreamRow&, std::u16string&) {
            ++rows;
            return RowStreamStep::Next;
        },
        error));
    EXPECT_EQ(rows, 100000u);
    EXPECT_EQ(dump.delivered, total);
    ASSERT_FALSE(whole.progress.empty());
    EXPECT_EQ(whole.progress.back(), 100);
}
