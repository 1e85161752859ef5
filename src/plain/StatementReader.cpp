// Splitting a script into statements straight from the reader's window: runs of ordinary
// bytes are copied in one go, and only the bytes that can change the quoting state are
// looked at one by one.
#include "plain/StatementReader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "dump/BufferedFileReader.h"
#include "jobs/JobContext.h"
#include "sql/MultiByte.h"
#include "sql/SqlText.h"

namespace {

enum class State : uint8_t { Normal, Single, Escape, Double, Dollar, Block, LineComment };

// One bit per state: the bytes that state has to stop at.
constexpr uint8_t kStopNormal = 1;
constexpr uint8_t kStopSingle = 2;
constexpr uint8_t kStopEscape = 4;
constexpr uint8_t kStopDouble = 8;
constexpr uint8_t kStopDollar = 16;
constexpr uint8_t kStopBlock = 32;
constexpr uint8_t kStopHigh = 64;

constexpr std::array<uint8_t, 256> MakeStops() {
    std::array<uint8_t, 256> stops{};
    for (unsigned char c : {'\'', '"', '$', '-', '/', ';'}) stops[c] |= kStopNormal;
    stops['\''] |= kStopSingle | kStopEscape;
    stops['\\'] |= kStopEscape;
    stops['"'] |= kStopDouble;
    stops['$'] |= kStopDollar;
    stops['*'] |= kStopBlock;
    stops['/'] |= kStopBlock;
    stops['\n'] = kStopNormal | kStopSingle | kStopEscape | kStopDouble | kStopDollar | kStopBlock;
    for (int c = 0x80; c < 256; ++c) stops[c] |= kStopHigh;
    return stops;
}

constexpr std::array<uint8_t, 256> kStops = MakeStops();

constexpr uint64_t kCopyPollBytes = uint64_t{64} << 20;

#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
// Sixteen bytes at a time with the compiler's vector types: the position of the first
// byte that equals one of Stops, or the start of the last partial block (the caller
// finishes byte by byte). This is what keeps INSERT scripts, made of short strings and
// short runs between them, from being scanned a byte per step.
using Bytes16 = unsigned char __attribute__((vector_size(16)));

template <unsigned char... Stops>
size_t FindAny(const char* p, size_t i, size_t n) {
    while (i + 16 <= n) {
        Bytes16 bytes;
        std::memcpy(&bytes, p + i, 16);
        Bytes16 hit{};
        ((hit |= reinterpret_cast<Bytes16>(bytes == static_cast<unsigned char>(Stops))), ...);
        uint64_t words[2];
        std::memcpy(words, &hit, 16);
        if (words[0] != 0) return i + static_cast<size_t>(__builtin_ctzll(words[0])) / 8;
        if (words[1] != 0) return i + 8 + static_cast<size_t>(__builtin_ctzll(words[1])) / 8;
        i += 16;
    }
    return i;
}
#endif

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsTagChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

class StatementScanner {
public:
    StatementScanner(BufferedFileReader& reader, SqlStatement& statement,
                     const StatementOptions& options)
        : m_reader(reader),
          m_st(statement),
          m_options(options),
          m_multiByte(IsMultiByteCodePage(options.codePage)),
          m_nextDrain(options.drainAt) {}

    bool Read() {
        if (!FindStart()) return false;
        m_st.startOffset = m_reader.Position();
        if (m_reader.Data()[0] == '\\') {
            ReadMetaCommand();
            return true;
        }
        ScanBody();
        return true;
    }

private:
    bool FindStart();
    void SkipLine();
    void ReadMetaCommand();
    void ScanBody();
    void FinishAfterSemicolon();

    void Append(const char* data, size_t length, uint64_t offset) {
        if (m_st.truncated || length == 0) return;
        const size_t room = m_options.maxText - m_st.text.size();
        if (length <= room) {
            m_st.text.append(data, length);
            if (m_options.drain && m_st.text.size() >= m_nextDrain) Drain();
            return;
        }
        m_st.text.append(data, room);
        m_st.truncated = true;
        m_st.keptEnd = offset + room;
    }
    void Drain() {
        if (!m_options.drain(m_st.text)) {
            m_drainFailed = true;
            // Nothing more is kept or handed over.
            m_st.truncated = true;
            m_st.keptEnd = m_reader.Position();
            return;
        }
        // Waiting for the text to double keeps a row that spans many pieces from being
        // looked at again for every piece; past 64 MiB a fixed step keeps a row over the
        // consumer's limit from being read far beyond it.
        constexpr size_t kMaxStep = size_t{64} << 20;
        const size_t size = m_st.text.size();
        m_nextDrain = size + std::max(m_options.drainAt, std::min(size, kMaxStep));
    }
    void AppendLineBreak(uint64_t offset) {
        const char lf = '\n';
        Append(&lf, 1, offset);
    }
    void DropTrailingCR() {
        if (!m_st.truncated && !m_st.text.empty() && m_st.text.back() == '\r') {
            m_st.text.pop_back();
        }
    }
    bool KeepsCR(State state) const {
        return m_options.keepQuotedCR && (state == State::Single || state == State::Escape ||
                                          state == State::Double || state == State::Dollar);
    }
    uint8_t StopMask(State state) const {
        switch (state) {
            case State::Normal:
                return kStopNormal;
            case State::Single:
                return kStopSingle;
            case State::Escape:
                return m_multiByte ? kStopEscape | kStopHigh : kStopEscape;
            case State::Double:
                return kStopDouble;
            case State::Dollar:
                return kStopDollar;
            default:
                return kStopBlock;
        }
    }
    // The first byte at or after i that the state has to look at; n if there is none.
    size_t FindStop(const char* p, size_t i, size_t n, State state) const {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        switch (state) {
            case State::Normal:
                i = FindAny<'\'', '"', '$', '-', '/', ';', '\n'>(p, i, n);
                break;
            case State::Single:
                i = FindAny<'\'', '\n'>(p, i, n);
                break;
            case State::Double:
                i = FindAny<'"', '\n'>(p, i, n);
                break;
            case State::Dollar:
                i = FindAny<'$', '\n'>(p, i, n);
                break;
            case State::Block:
                i = FindAny<'*', '/', '\n'>(p, i, n);
                break;
            default:
                break;
        }
#endif
        const uint8_t mask = StopMask(state);
        while (i < n && (kStops[static_cast<unsigned char>(p[i])] & mask) == 0) ++i;
        return i;
    }

    // The byte k places before p[i], looking into the text kept so far when the window
    // starts later; a blank before the statement's start.
    unsigned char ByteBefore(const char* p, size_t i, size_t k) const {
        if (i >= k) return static_cast<unsigned char>(p[i - k]);
        const size_t back = k - i;
        const std::string& text = m_st.text;
        return back <= text.size() ? static_cast<unsigned char>(text[text.size() - back]) : ' ';
    }

    BufferedFileReader& m_reader;
    SqlStatement& m_st;
    const StatementOptions& m_options;
    const bool m_multiByte;
    size_t m_nextDrain;
    bool m_drainFailed = false;
};

bool StatementScanner::FindStart() {
    BufferedFileReader& r = m_reader;
    for (;;) {
        if (r.Available() < 2) r.Refill();
        const size_t n = r.Available();
        if (n == 0) return false;
        const char* p = r.Data();
        size_t i = 0;
        while (i < n && IsBlank(p[i])) ++i;
        if (i > 0) {
            r.Consume(i);
            continue;
        }
        if (p[0] == '-' && n >= 2 && p[1] == '-') {
            SkipLine();
            continue;
        }
        return true;
    }
}

void StatementScanner::SkipLine() {
    BufferedFileReader& r = m_reader;
    for (;;) {
        if (r.Available() == 0 && !r.Refill()) return;
        const char* p = r.Data();
        const size_t n = r.Available();
        const void* lf = std::memchr(p, '\n', n);
        if (lf != nullptr) {
            r.Consume(static_cast<size_t>(static_cast<const char*>(lf) - p) + 1);
            return;
        }
        r.Consume(n);
    }
}

void StatementScanner::ReadMetaCommand() {
    BufferedFileReader& r = m_reader;
    m_st.kind = SqlStatementKind_MetaCommand;
    for (;;) {
        if (r.Available() == 0 && !r.Refill()) break;
        const char* p = r.Data();
        const size_t n = r.Available();
        const uint64_t base = r.Position();
        const void* lf = std::memchr(p, '\n', n);
        if (lf != nullptr) {
            const size_t length = static_cast<size_t>(static_cast<const char*>(lf) - p);
            Append(p, length, base);
            r.Consume(length + 1);
            break;
        }
        Append(p, n, base);
        r.Consume(n);
    }
    m_st.endOffset = r.Position();
    DropTrailingCR();
}

void StatementScanner::FinishAfterSemicolon() {
    BufferedFileReader& r = m_reader;
    m_st.endOffset = r.Position();
    size_t k = 0;
    for (;;) {
        const char* p = r.Data();
        const size_t n = r.Available();
        while (k < n && (p[k] == ' ' || p[k] == '\t' || p[k] == '\r')) ++k;
        if (k < n) {
            if (p[k] == '\n') {
                r.Consume(k + 1);
                m_st.endOffset = r.Position();
            }
            // Otherwise the rest of the line is the next statement's start.
            return;
        }
        if (r.Position() + n >= r.FileSize()) {
            r.Consume(n);
            m_st.endOffset = r.Position();
            return;
        }
        // Look further without giving up the position after the semicolon; a window full
        // of blanks is left to the next statement, which skips them anyway. A file that is
        // still being written learns where it ends only from the refill: look again then.
        if (!r.Refill() && r.Position() + r.Available() < r.FileSize()) return;
    }
}

void StatementScanner::ScanBody() {
    BufferedFileReader& r = m_reader;
    State state = State::Normal;
    int commentDepth = 0;
    std::string tag;
    // No further bytes can be had behind the window: pending tokens are ordinary bytes.
    bool noMore = false;
    // The last byte kept from the previous window was a CR that may end a line.
    bool crPending = false;

    for (;;) {
        if (m_drainFailed) {
            m_st.endOffset = r.Position();
            return;
        }
        if (r.Available() == 0) {
            if (!r.Refill()) break;
            noMore = false;
        }
        const char* p = r.Data();
        const size_t n = r.Available();
        const uint64_t base = r.Position();
        size_t i = 0;
        size_t run = 0;
        bool needMore = false;
        auto flushRun = [&](size_t end) {
            if (end > run) Append(p + run, end - run, base + run);
        };
        // The token at i needs `count` bytes: false when they are not all in the window
        // yet (needMore is then set) or can never be (the byte is taken as ordinary).
        auto have = [&](size_t count) {
            if (i + count <= n) return true;
            if (!noMore) {
                needMore = true;
            } else {
                ++i;
            }
            return false;
        };

        while (i < n && !needMore) {
            if (state == State::LineComment) {
                const void* lf = std::memchr(p + i, '\n', n - i);
                if (lf == nullptr) {
                    i = run = n;
                    break;
                }
                i = run = static_cast<size_t>(static_cast<const char*>(lf) - p) + 1;
                state = State::Normal;
                continue;
            }
            i = FindStop(p, i, n, state);
            if (i == n) break;
            const char c = p[i];
            if (c == '\n') {
                size_t end = i;
                if (!KeepsCR(state)) {
                    if (end > run && p[end - 1] == '\r') {
                        --end;
                    } else if (end == run && run == 0 && crPending) {
                        DropTrailingCR();
                    }
                }
                flushRun(end);
                AppendLineBreak(base + end);
                crPending = false;
                run = ++i;
                continue;
            }
            switch (state) {
                case State::Normal:
                    switch (c) {
                        case ';':
                            flushRun(i + 1);
                            r.Consume(i + 1);
                            FinishAfterSemicolon();
                            return;
                        case '\'': {
                            const unsigned char prefix = ByteBefore(p, i, 1);
                            const bool escape = (prefix == 'E' || prefix == 'e') &&
                                                !IsSqlWordChar(ByteBefore(p, i, 2));
                            state = escape ? State::Escape : State::Single;
                            ++i;
                            break;
                        }
                        case '"':
                            state = State::Double;
                            ++i;
                            break;
                        case '-':
                            if (!have(2)) break;
                            if (p[i + 1] == '-') {
                                flushRun(i);
                                AppendLineBreak(base + i);
                                state = State::LineComment;
                                i += 2;
                                run = i;
                            } else {
                                ++i;
                            }
                            break;
                        case '/':
                            if (!have(2)) break;
                            if (p[i + 1] == '*') {
                                state = State::Block;
                                commentDepth = 1;
                                i += 2;
                            } else {
                                ++i;
                            }
                            break;
                        case '$': {
                            // As in PostgreSQL: a $ inside a word belongs to the word, and
                            // a tag never starts with a digit ($1 is a parameter).
                            const unsigned char before = ByteBefore(p, i, 1);
                            if (IsSqlWordChar(before) || before == '$') {
                                ++i;
                                break;
                            }
                            size_t j = i + 1;
                            if (j < n && p[j] >= '0' && p[j] <= '9') {
                                ++i;
                                break;
                            }
                            while (j < n && IsTagChar(p[j])) ++j;
                            if (j == n) {
                                if (noMore) {
                                    ++i;
                                } else {
                                    needMore = true;
                                }
                                break;
                            }
                            if (p[j] == '$') {
                                tag.assign(p + i, j + 1 - i);
                                state = State::Dollar;
                                i = j + 1;
                            } else {
                                ++i;
                            }
                            break;
                        }
                        default:
                            ++i;
                    }
                    break;
                case State::Single:
                case State::Double:
                    state = State::Normal;
                    ++i;
                    break;
                case State::Escape:
                    if (c == '\'') {
                        if (!have(2)) {
                            if (!needMore) state = State::Normal;
                            break;
                        }
                        // A doubled quote stays inside the escape string.
                        if (p[i + 1] == '\'') {
                            i += 2;
                        } else {
                            state = State::Normal;
                            ++i;
                        }
                    } else if (c == '\\' ||
                               MultiByteLength(m_options.codePage, static_cast<unsigned char>(c),
                                               p + i + 1, n - i - 1) > 1) {
                        // The escaped byte (or a trail byte) cannot end the string; a line
                        // break stays a line break.
                        if (!have(2)) break;
                        i += p[i + 1] == '\n' ? 1 : 2;
                    } else {
                        ++i;
                    }
                    break;
                case State::Dollar:
                    if (!have(tag.size())) break;
                    if (std::memcmp(p + i, tag.data(), tag.size()) == 0) {
                        i += tag.size();
                        state = State::Normal;
                    } else {
                        ++i;
                    }
                    break;
                case State::Block:
                    if (!have(2)) break;
                    if (c == '*' && p[i + 1] == '/') {
                        i += 2;
                        if (--commentDepth == 0) state = State::Normal;
                    } else if (c == '/' && p[i + 1] == '*') {
                        // Block comments nest, as in PostgreSQL.
                        i += 2;
                        ++commentDepth;
                    } else {
                        ++i;
                    }
                    break;
                case State::LineComment:
                    break;
            }
        }
        if (state != State::LineComment) {
            flushRun(i);
            crPending = i > run && p[i - 1] == '\r';
        } else {
            crPending = false;
        }
        r.Consume(i);
        if (needMore) noMore = !r.Refill();
    }
    // The file ended inside the statement: it is returned without its semicolon.
    m_st.endOffset = r.Position();
    if (m_st.text.empty() || m_st.text.back() != '\n') AppendLineBreak(m_st.endOffset);
}

}  // namespace

bool ReadStatement(BufferedFileReader& reader, SqlStatement& statement,
                   const StatementOptions& options) {
    statement.kind = SqlStatementKind_Sql;
    statement.text.clear();
    statement.startOffset = statement.endOffset = 0;
    statement.truncated = false;
    statement.keptEnd = 0;
    return StatementScanner(reader, statement, options).Read();
}

bool SkipCopyData(BufferedFileReader& reader, uint64_t& rows, uint64_t& start, uint64_t& end,
                  IJobContext* job) {
    rows = 0;
    start = end = reader.Position();
    bool lineStart = true;
    uint64_t nextPoll = start + kCopyPollBytes;
    for (;;) {
        // Four bytes are enough to tell the end line "\." with its line break.
        if (reader.Available() < 4 && !reader.Refill() && reader.IoFailed()) {
            // The few bytes left at a line start will never be joined by more.
            end = reader.Position();
            return true;
        }
        // Once per window, moving or not: a cancel must not wait for 64 MiB of data.
        if (job != nullptr && job->IsCancelled()) return false;
        const size_t n = reader.Available();
        if (n == 0) {
            // A last line without LF is still a row.
            if (!lineStart) ++rows;
            end = reader.Position();
            return true;
        }
        const char* p = reader.Data();
        const char* e = p + n;
        const uint64_t base = reader.Position();
        const bool fileEndsHere = base + n >= reader.FileSize();
        const char* q = p;
        for (;;) {
            if (lineStart) {
                const size_t left = static_cast<size_t>(e - q);
                if (left < 4 && !fileEndsHere) break;
                size_t length = 0;
                if (IsCopyEndLine(q, left, length)) {
                    end = base + static_cast<uint64_t>(q - p);
                    if (length < left) ++length;
                    reader.Consume(static_cast<size_t>(q - p) + length);
                    return true;
                }
                if (left == 0) break;
            }
            const void* lf = std::memchr(q, '\n', static_cast<size_t>(e - q));
            if (lf == nullptr) {
                q = e;
                lineStart = false;
                break;
            }
            ++rows;
            q = static_cast<const char*>(lf) + 1;
            lineStart = true;
        }
        reader.Consume(static_cast<size_t>(q - p));
        if (job != nullptr && reader.Position() >= nextPoll) {
            nextPoll = reader.Position() + kCopyPollBytes;
            const uint64_t size = reader.FileSize() > 0 ? reader.FileSize() : 1;
            job->SetProgress(static_cast<int>(reader.Position() * 100 / size));
        }
    }
}
