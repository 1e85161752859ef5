#include "export/CsvWriter.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "dump/DumpModel.h"
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
// Rows are gathered into blocks of this size before they go to the file.
constexpr size_t kOutputBlock = size_t{1} << 20;

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

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighs = 0x8080808080808080ULL;

// Bytes of the word equal to c, as high bits.
inline uint64_t MatchBytes(uint64_t word, unsigned char c) {
    const uint64_t x = word ^ (kOnes * c);
    return (x - kOnes) & ~x & kHighs;
}

// What a field's bytes hold, found eight bytes at a time: a character that forces quotes,
// and a byte of 0x80 or above (only then is the UTF-8 worth checking).
struct FieldScan {
    bool quote = false;
    bool high = false;
};

FieldScan ScanField(const char* text, size_t length, char delimiter) {
    FieldScan scan;
    uint64_t special = 0;
    uint64_t high = 0;
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i d = _mm_set1_epi8(delimiter);
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i dq = _mm_set1_epi8('"');
    __m128i special16 = _mm_setzero_si128();
    __m128i high16 = _mm_setzero_si128();
    for (; i + 16 <= length; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        special16 = _mm_or_si128(
            special16,
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, d), _mm_cmpeq_epi8(block, cr)),
                         _mm_or_si128(_mm_cmpeq_epi8(block, lf), _mm_cmpeq_epi8(block, dq))));
        high16 = _mm_or_si128(high16, block);
    }
    if (_mm_movemask_epi8(special16) != 0) special = 1;
    if (_mm_movemask_epi8(high16) != 0) high = kHighs;
#endif
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, text + i, 8);
        special |= MatchBytes(word, static_cast<unsigned char>(delimiter)) |
                   MatchBytes(word, '\r') | MatchBytes(word, '\n') | MatchBytes(word, '"');
        high |= word;
    }
    for (; i < length; ++i) {
        const char c = text[i];
        if (c == delimiter || c == '\r' || c == '\n' || c == '"') special = 1;
        if (static_cast<unsigned char>(c) >= 0x80) high |= kHighs;
    }
    scan.quote = special != 0;
    scan.high = (high & kHighs) != 0;
    return scan;
}

// The same quoting on UTF-8 bytes: the characters that matter are all ASCII.
void AppendQuotedBytes(std::string& out, const char* text, size_t length) {
    out += '"';
    const char* const end = text + length;
    while (text < end) {
        const void* quote = std::memchr(text, '"', static_cast<size_t>(end - text));
        if (quote == nullptr) {
            out.append(text, static_cast<size_t>(end - text));
            break;
        }
        const char* at = static_cast<const char*>(quote) + 1;
        out.append(text, static_cast<size_t>(at - text));
        out += '"';
        text = at;
    }
    out += '"';
}

void AppendFieldBytes(std::string& out, const char* text, size_t length, char delimiter,
                      bool quoteAll) {
    if (quoteAll || ScanField(text, length, delimiter).quote) {
        AppendQuotedBytes(out, text, length);
    } else {
        out.append(text, length);
    }
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

bool CCsvFileWriter::Open(const std::u16string& path, const TableEntry& table,
                          const std::vector<int32_t>& columns, const CsvOptions& options,
                          int sourceCodePage, std::u16string& error) {
    Abandon();
    if (!m_file.Open(path)) {
        error = u"出力CSVファイルがオープンできませんでした(" + path + u")。";
        return false;
    }
    m_path = path;
    m_writer.Start(m_file.File());
    m_writeOk = true;
    m_columns = columns;
    m_options = options;
    m_codePage = options.encoding == u"SJIS" ? 932 : platform::kCodePageUtf8;
    m_utf8Path = m_codePage == platform::kCodePageUtf8 &&
                 sourceCodePage == platform::kCodePageUtf8 && options.delimiter < 0x80;
    m_nullText = platform::Utf16ToUtf8(options.nullText);
    m_out.clear();
    m_out.reserve(kOutputBlock + (size_t{64} << 10));
    if (options.encoding == u"UTF8BOM") m_out.append("\xEF\xBB\xBF", 3);
    if (options.header) {
        const std::u16string kEmpty;
        m_line.clear();
        for (size_t j = 0; j < columns.size(); ++j) {
            if (j > 0) m_line += options.delimiter;
            const int32_t index = columns[j];
            const std::u16string& name =
                index >= 0 && static_cast<size_t>(index) < table.columns.size()
                    ? table.columns[static_cast<size_t>(index)].name
                    : kEmpty;
            // A file starting with "ID" would be taken for a SYLK file by spreadsheets.
            const bool force = j == 0 && name.size() >= 2 && name[0] == u'I' && name[1] == u'D';
            AppendField(m_line, name, options, force);
        }
        m_line += u"\r\n";
        std::string bytes;
        Encode(m_line, m_codePage, bytes);
        m_out += bytes;
    }
    return Drain(false);
}

bool CCsvFileWriter::Drain(bool force) {
    if (m_out.size() < kOutputBlock && !force) return m_writeOk;
    for (size_t at = 0; at < m_out.size() && m_writeOk;) {
        const size_t take = std::min(CSpoolWriter::kBufferSize, m_out.size() - at);
        std::memcpy(m_writer.Buffer(), m_out.data() + at, take);
        if (!m_writer.Submit(take)) m_writeOk = false;
        at += take;
    }
    m_out.clear();
    return m_writeOk;
}

bool CCsvFileWriter::WriteFields(const std::vector<CopyField>& fields) {
    // UTF-8 rows written as UTF-8: fields go from the COPY bytes to the file as they are.
    // Bytes that are not valid UTF-8 take a trip through UTF-16, so they end up as the same
    // replacement characters either way.
    const char delimiter = static_cast<char>(m_options.delimiter);
    const bool quoteAll = m_options.quoteAll;
    for (size_t j = 0; j < m_columns.size(); ++j) {
        if (j > 0) m_out += delimiter;
        const int32_t index = m_columns[j];
        if (index < 0 || static_cast<size_t>(index) >= fields.size() ||
            fields[static_cast<size_t>(index)].isNull) {
            AppendFieldBytes(m_out, m_nullText.data(), m_nullText.size(), delimiter, quoteAll);
            continue;
        }
        const std::string& bytes = fields[static_cast<size_t>(index)].bytes;
        const FieldScan scan = ScanField(bytes.data(), bytes.size(), delimiter);
        if (scan.high && !platform::IsValidUtf8(bytes.data(), bytes.size())) {
            m_repaired = platform::Utf16ToUtf8(platform::Utf8ToUtf16(bytes));
            AppendFieldBytes(m_out, m_repaired.data(), m_repaired.size(), delimiter, quoteAll);
        } else if (quoteAll || scan.quote) {
            AppendQuotedBytes(m_out, bytes.data(), bytes.size());
        } else {
            m_out.append(bytes);
        }
    }
    m_out.append("\r\n", 2);
    return Drain(false);
}

bool CCsvFileWriter::WriteCells(const RowCells& cells) {
    m_line.clear();
    for (size_t j = 0; j < m_columns.size(); ++j) {
        if (j > 0) m_line += m_options.delimiter;
        const int32_t index = m_columns[j];
        const bool isNull = index < 0 || static_cast<size_t>(index) >= cells.size() ||
                            cells[static_cast<size_t>(index)].isNull;
        AppendField(m_line, isNull ? m_options.nullText : cells[static_cast<size_t>(index)].text,
                    m_options, false);
    }
    m_line += u"\r\n";
    if (m_codePage == platform::kCodePageUtf8) {
        platform::AppendUtf16AsUtf8(m_line.data(), m_line.size(), m_out);
    } else {
        platform::EncodeCodePage(m_codePage, m_line.data(), m_line.size(), m_out);
    }
    return Drain(false);
}

bool CCsvFileWriter::Finish(std::u16string& error) {
    if (!m_file.IsOpen()) return false;
    Drain(true);
    if (!m_writer.Finish()) m_writeOk = false;
    if (!m_writeOk || !m_file.Commit()) {
        error = u"CSVファイルの書き込みに失敗しました(" + m_path + u")。";
        Abandon();
        return false;
    }
    return true;
}

void CCsvFileWriter::Abandon() {
    if (!m_file.IsOpen()) return;
    m_writer.Finish();
    m_file.Abandon();
    m_out.clear();
}

bool WriteCsvFile(const CTableData& data, const TableEntry& table,
                  const std::vector<int32_t>& columns, const std::vector<uint64_t>& rows,
                  const CsvOptions& options, const std::u16string& path, IJobContext* job,
                  uint64_t& rowsWritten, std::u16string& error) {
    rowsWritten = 0;
    CCsvFileWriter writer;
    if (!writer.Open(path, table, columns, options, data.GetCodePage(), error)) {
        // Opened but the header could not be written.
        if (error.empty()) error = u"CSVファイルの書き込みに失敗しました。";
        return false;
    }
    auto fail = [&writer, &error](std::u16string message) {
        error = std::move(message);
        writer.Abandon();
        return false;
    };

    CTableCursor cursor(data);
    RowCells cells;
    const uint64_t progressBase = rows.size() >= 2 ? rows.size() : 1;
    const bool utf8Path = writer.TakesFields();
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::vector<CopyField>* fields =
            utf8Path ? cursor.GetRowFields(static_cast<size_t>(rows[i])) : nullptr;
        if (utf8Path ? fields == nullptr : !cursor.GetRow(static_cast<size_t>(rows[i]), cells)) {
            return fail(u"行データの読み取りに失敗しました(行 " +
                        platform::FormatDecimal(static_cast<int64_t>(rows[i] + 1)) + u")。");
        }
        if (!(utf8Path ? writer.WriteFields(*fields) : writer.WriteCells(cells))) {
            return fail(u"CSVファイルの書き込みに失敗しました。");
        }
        ++rowsWritten;
        if (rowsWritten % kRowsPerCheck == 0 && job != nullptr) {
            if (job->IsCancelled()) return fail(kCancelledMessage);
            job->SetProgress(static_cast<int>(i * 100 / progressBase));
        }
    }
    return writer.Finish(error);
}
