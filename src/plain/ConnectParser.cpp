// The arguments of \connect, read the way psql reads them, so that every form pg_dumpall
// writes for an unusual database name (quotes, spaces, backslashes) gives the name back.
#include "plain/ConnectParser.h"

#include <cstring>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A backslash escape inside a single-quoted psql argument; pos at the byte after it.
void ReadPsqlEscape(const std::string& text, size_t& pos, std::string& out) {
    const char c = text[pos];
    switch (c) {
        case 'n':
            out += '\n';
            ++pos;
            return;
        case 't':
            out += '\t';
            ++pos;
            return;
        case 'b':
            out += '\b';
            ++pos;
            return;
        case 'r':
            out += '\r';
            ++pos;
            return;
        case 'f':
            out += '\f';
            ++pos;
            return;
        default:
            break;
    }
    if (c >= '0' && c <= '7') {
        int value = 0;
        for (int digits = 0;
             digits < 3 && pos < text.size() && text[pos] >= '0' && text[pos] <= '7';
             ++digits, ++pos) {
            value = value * 8 + (text[pos] - '0');
        }
        out += static_cast<char>(value & 0xFF);
        return;
    }
    if (c == 'x' && pos + 1 < text.size() && HexDigit(text[pos + 1]) >= 0) {
        int value = HexDigit(text[pos + 1]);
        pos += 2;
        if (pos < text.size() && HexDigit(text[pos]) >= 0)
            value = value * 16 + HexDigit(text[pos++]);
        out += static_cast<char>(value);
        return;
    }
    out += c;
    ++pos;
}

// One argument: unquoted bytes, "..." ("" stands for one quote) and '...' ('' and
// backslash escapes) joined up to the next blank.
bool NextArgument(const std::string& text, size_t& pos, std::string& arg, bool& quoted) {
    arg.clear();
    quoted = false;
    const size_t size = text.size();
    while (pos < size && IsBlank(text[pos])) ++pos;
    if (pos >= size) return false;
    while (pos < size && !IsBlank(text[pos])) {
        const char c = text[pos];
        if (c == '"' || c == '\'') {
            quoted = true;
            ++pos;
            while (pos < size) {
                const char d = text[pos];
                if (d == c) {
                    if (pos + 1 < size && text[pos + 1] == c) {
                        arg += c;
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                if (c == '\'' && d == '\\' && pos + 1 < size) {
                    ++pos;
                    ReadPsqlEscape(text, pos, arg);
                    continue;
                }
                arg += d;
                ++pos;
            }
            continue;
        }
        arg += c;
        ++pos;
    }
    return true;
}

// libpq's keyword=value string: the value of dbname, if the string names one.
bool ConnInfoDatabase(const std::string& text, std::string& database) {
    bool found = false;
    size_t pos = 0;
    const size_t size = text.size();
    for (;;) {
        while (pos < size && IsBlank(text[pos])) ++pos;
        if (pos >= size) return found;
        const size_t keyStart = pos;
        while (pos < size && text[pos] != '=' && !IsBlank(text[pos])) ++pos;
        const std::string key = text.substr(keyStart, pos - keyStart);
        while (pos < size && IsBlank(text[pos])) ++pos;
        if (pos >= size || text[pos] != '=') return found;
        ++pos;
        while (pos < size && IsBlank(text[pos])) ++pos;
        std::string value;
        if (pos < size && text[pos] == '\'') {
            ++pos;
            while (pos < size && text[pos] != '\'') {
                if (text[pos] == '\\' && pos + 1 < size) ++pos;
                value += text[pos++];
            }
            if (pos < size) ++pos;
        } else {
            while (pos < size && !IsBlank(text[pos])) {
                if (text[pos] == '\\' && pos + 1 < size) ++pos;
                value += text[pos++];
            }
        }
        if (key == "dbname") {
            database = value;
            found = true;
        }
    }
}

size_t UriPrefixLength(const std::string& text) {
    for (const char* prefix : {"postgresql://", "postgres://"}) {
        const size_t length = std::strlen(prefix);
        if (text.compare(0, length, prefix) == 0) return length;
    }
    return 0;
}

// postgresql://user@host:port/dbname?options: the percent-decoded path.
bool UriDatabase(const std::string& text, size_t prefix, std::string& database) {
    const size_t slash = text.find_first_of("/?", prefix);
    if (slash == std::string::npos || text[slash] != '/') return false;
    const size_t end = text.find('?', slash);
    const std::string path =
        text.substr(slash + 1, (end == std::string::npos ? text.size() : end) - slash - 1);
    database.clear();
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && HexDigit(path[i + 1]) >= 0 &&
            HexDigit(path[i + 2]) >= 0) {
            database += static_cast<char>(HexDigit(path[i + 1]) * 16 + HexDigit(path[i + 2]));
            i += 2;
        } else {
            database += path[i];
        }
    }
    return !database.empty();
}

}  // namespace

bool ParseConnectDatabase(const std::string& metaCommand, std::string& database) {
    database.clear();
    if (metaCommand.empty() || metaCommand[0] != '\\') return false;
    size_t pos = 1;
    while (pos < metaCommand.size() && !IsBlank(metaCommand[pos])) ++pos;
    const std::string command = metaCommand.substr(1, pos - 1);
    if (command != "c" && command != "connect") return false;

    std::string arg;
    bool quoted = false;
    // Options such as -reuse-previous=on come first; a lone "-" keeps the database.
    for (;;) {
        if (!NextArgument(metaCommand, pos, arg, quoted)) return false;
        if (quoted || arg.size() < 2 || arg[0] != '-') break;
    }
    if (!quoted && (arg.empty() || arg == "-")) return false;

    if (const size_t prefix = UriPrefixLength(arg); prefix != 0) {
        return UriDatabase(arg, prefix, database);
    }
    if (arg.find('=') != std::string::npos) {
        return ConnInfoDatabase(arg, database) && !database.empty();
    }
    database = arg;
    return !database.empty();
}
