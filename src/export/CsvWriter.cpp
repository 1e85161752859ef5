#include "export/CsvWriter.h"

#include "dump/DumpModel.h"
#include "dump/FileSink.h"
#include "jobs/JobContext.h"
#include "platform/CodePage.h"
#include "platform/File.h"
#include "platform/Utf8.h"
#include "platform/WideChar.h"
#include "store/CopyLine.h"
#include "store/TableCursor.h"
#include "store/TableData.h"

namespace {

constexpr uint64_t kRowsPerCheck = 4096;

bool NeedsQuotes(const std::u16string& text, char16_t delimiter) {
    for (char16_t c : text) {
        if (c == delimiter || c == u'\r' || c == u'\n' || c == u'"') return true;
    }
    return false;
}

void AppendField(std::u16string& line, const std::u16string& text, const CsvOptions& options,
                 bool force) {
    if (!force && !options.quoteAll && (text.empty() || !NeedsQuotes(text, options.delimiter))) {
        line += text;
        return;
    }
    line += u'"';
    for (char16_t c : text) {
        if (c == u'"') line += u'"';
        line += c;
    }
    line += u'"';
}

// The same quoting on UTF-8 bytes: the characters that matter are all ASCII.
void AppendFieldBytes(std::string& line, const char* text, size_t length, char delimiter,
                      bool quoteAll) {
    bool quote = quoteAll;
    if (!quote) {
        for (size_t i = 0; i < length && !quote; ++i) {
            const char c = text[i];
            quote = c == delimiter || c == '\r' || c == '\n' || c == '"';
        }
    }
    if (!quote) {
        line.append(text, length);
        return;
    }
    line += '"';
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '"') line += '"';
        line += text[i];
    }
    line += '"';
}

// UTF-8 rows written as UTF-8: fields go from the COPY bytes to the file without a trip
// through UTF-16. Bytes that are not valid UTF-8 take that trip, so they end up as the
// same replacement characters either way.
void BuildUtf8Line(const std::vector<CopyField>& fields, const std::vector<int32_t>& columns,
                   const CsvOptions& options, const std::string& nullText, std::string& line) {
    const char delimiter = static_cast<char>(options.delimiter);
    std::string repaired;
    line.clear();
    for (size_t j = 0; j < columns.size(); ++j) {
        if (j > 0) line += delimiter;
        const int32_t index = columns[j];
        if (index < 0 || static_cast<size_t>(index) >= fields.size() ||
            fields[static_cast<size_t>(index)].isNull) {
            AppendFieldBytes(line, nullText.data(), nullText.size(), delimiter, options.quoteAll);
            continue;
        }
        const std::string& bytes = fields[static_cast<size_t>(index)].bytes;
        if (platform::IsValidUtf8(bytes.data(), bytes.size())) {
            AppendFieldBytes(line, bytes.data(), bytes.size(), delimiter, options.quoteAll);
        } else {
            repaired = platform::Utf16ToUtf8(platform::Utf8ToUtf16(bytes));
            AppendFieldBytes(line, repaired.data(), repaired.size(), delimiter, options.quoteAll);
        }
    }
    line += "\r\n";
}

// Converts one line into the file's encoding, reusing the byte buffer.
void Encode(const std::u16string& line, int codePage, std::string& bytes) {
    bytes.clear();
    if (codePage == platform::kCodePageUtf8) {
        platform::AppendUtf16AsUtf8(line.data(), line.size(), bytes);
    } else {
        platform::EncodeCodePage(codePage, line.data(), line.size(), bytes);
    }
}

}  // namespace

std::u16string QuoteCsvField(const std::u16string& text, const CsvOptions& options, bool force) {
    std::u16string out;
    AppendField(out, text, options, force);
    return out;
}

bool WriteCsvFile(const CTableData& data, const TableEntry& table,
                  const std::vector<int32_t>& columns, const std::vector<uint64_t>& rows,
                  const CsvOptions& options, const std::u16string& path, IJobContext* job,
                  uint64_t& rowsWritten, std::u16string& error) {
    rowsWritten = 0;
    CFileSink sink;
    if (!sink.Open(path)) {
        error = u"出力CSVファイルがオープンできませんでした(" + path + u")。";
        return false;
    }
    auto fail = [&sink, &path, &error](std::u16string message) {
        error = std::move(message);
        sink.Close();
        platform::DeleteFile(path);
        return false;
    };
    const int codePage = options.encoding == u"SJIS" ? 932 : platform::kCodePageUtf8;
    if (options.encoding == u"UTF8BOM") sink.Write("\xEF\xBB\xBF", 3);

    std::u16string line;
    std::string bytes;
    const std::u16string kEmpty;
    if (options.header) {
        for (size_t j = 0; j < columns.size(); ++j) {
            if (j > 0) line += options.delimiter;
            const int32_t index = columns[j];
            const std::u16string& name =
                index >= 0 && static_cast<size_t>(index) < table.columns.size()
                    ? table.columns[static_cast<size_t>(index)].name
                    : kEmpty;
            // A file starting with "ID" would be taken for a SYLK file by spreadsheets.
            const bool force = j == 0 && name.size() >= 2 && name[0] == u'I' && name[1] == u'D';
            AppendField(line, name, options, force);
        }
        line += u"\r\n";
        Encode(line, codePage, bytes);
        if (!sink.Write(bytes.data(), bytes.size())) {
            return fail(u"CSVファイルの書き込みに失敗しました。");
        }
    }

    CTableCursor cursor(data);
    RowCells cells;
    const uint64_t progressBase = rows.size() >= 2 ? rows.size() : 1;
    const bool utf8Path = codePage == platform::kCodePageUtf8 &&
                          data.GetCodePage() == platform::kCodePageUtf8 && options.delimiter < 0x80;
    const std::string nullText = platform::Utf16ToUtf8(options.nullText);
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::vector<CopyField>* fields =
            utf8Path ? cursor.GetRowFields(static_cast<size_t>(rows[i])) : nullptr;
        if (utf8Path ? fields == nullptr : !cursor.GetRow(static_cast<size_t>(rows[i]), cells)) {
            return fail(u"行データの読み取りに失敗しました(行 " +
                        platform::FormatDecimal(static_cast<int64_t>(rows[i] + 1)) + u")。");
        }
        if (utf8Path) {
            BuildUtf8Line(*fields, columns, options, nullText, bytes);
        } else {
            line.clear();
            for (size_t j = 0; j < columns.size(); ++j) {
                if (j > 0) line += options.delimiter;
                const int32_t index = columns[j];
                const bool isNull = index < 0 || static_cast<size_t>(index) >= cells.size() ||
                                    cells[static_cast<size_t>(index)].isNull;
                AppendField(line,
                            isNull ? options.nullText : cells[static_cast<size_t>(index)].text,
                            options, false);
            }
            line += u"\r\n";
            Encode(line, codePage, bytes);
        }
        if (!sink.Write(bytes.data(), bytes.size())) {
            return fail(u"CSVファイルの書き込みに失敗しました。");
        }
        ++rowsWritten;
        if (rowsWritten % kRowsPerCheck == 0 && job != nullptr) {
            if (job->IsCancelled()) return fail(kCancelledMessage);
            job->SetProgress(static_cast<int>(i * 100 / progressBase));
        }
    }

    sink.Close();
    if (!sink.IsOk()) return fail(u"CSVファイルの書き込みに失敗しました(" + path + u")。");
    return true;
}
