#include "dump/TarIndex.h"

#include <algorithm>
#include <cstring>

#include "platform/File.h"
#include "platform/Utf8.h"
#include "platform/WideChar.h"

namespace {

constexpr size_t kBlock = 512;

// Header fields of the POSIX ustar layout.
constexpr size_t kNameOffset = 0, kNameSize = 100;
constexpr size_t kSizeOffset = 124, kSizeSize = 12;
constexpr size_t kChecksumOffset = 148, kChecksumSize = 8;
constexpr size_t kTypeOffset = 156;
constexpr size_t kPrefixOffset = 345, kPrefixSize = 155;

std::u16string Damaged(uint64_t offset) {
    return u"tar アーカイブのヘッダが壊れています(位置 " +
           platform::FormatDecimal(static_cast<int64_t>(offset)) + u")。";
}

std::u16string CutShort(const std::u16string& where) {
    return u"tar アーカイブが途中で切れています(" + where + u")。";
}

// An octal number padded with spaces or NULs; very large sizes use GNU's base-256 form.
bool ParseNumber(const unsigned char* field, size_t size, uint64_t& value) {
    value = 0;
    if (field[0] & 0x80) {
        // Base-256: the rest of the first byte and the following bytes, big-endian.
        if ((field[0] & 0x7F) != 0) return false;
        for (size_t i = 1; i < size; ++i) {
            if (value >> 56) return false;
            value = value << 8 | field[i];
        }
        return true;
    }
    size_t i = 0;
    while (i < size && field[i] == ' ') ++i;
    bool digits = false;
    for (; i < size && field[i] >= '0' && field[i] <= '7'; ++i) {
        if (value >> 60) return false;
        value = value * 8 + (field[i] - '0');
        digits = true;
    }
    for (; i < size; ++i) {
        if (field[i] != ' ' && field[i] != 0) return false;
    }
    return digits;
}

bool ChecksumMatches(const unsigned char* header) {
    uint64_t stored = 0;
    if (!ParseNumber(header + kChecksumOffset, kChecksumSize, stored)) return false;
    // The field itself counts as spaces; old tars summed signed bytes.
    uint64_t unsignedSum = 0;
    int64_t signedSum = 0;
    for (size_t i = 0; i < kBlock; ++i) {
        const bool inField = i >= kChecksumOffset && i < kChecksumOffset + kChecksumSize;
        const unsigned char byte = inField ? ' ' : header[i];
        unsignedSum += byte;
        signedSum += static_cast<signed char>(byte);
    }
    return stored == unsignedSum || static_cast<int64_t>(stored) == signedSum;
}

std::string TextField(const unsigned char* field, size_t size) {
    const auto* begin = reinterpret_cast<const char*>(field);
    return std::string(begin, std::find(begin, begin + size, '\0'));
}

}  // namespace

bool CTarIndex::Read(const std::u16string& path, std::u16string& error) {
    m_members.clear();
    m_damage.clear();
    platform::CFile file;
    uint64_t fileSize = 0;
    if (!file.OpenRead(path) || !file.GetSize(fileSize)) {
        error = u"ダンプファイルをオープンできません(" + path + u")。";
        return false;
    }
    uint64_t offset = 0;
    unsigned char header[kBlock];
    for (;;) {
        // A tar that stops right after a member lacks only its end blocks.
        if (offset == fileSize) return true;
        if (fileSize - offset < kBlock) {
            m_damage = CutShort(u"位置 " + platform::FormatDecimal(static_cast<int64_t>(offset)));
            return true;
        }
        if (!file.Seek(offset) || file.ReadFull(header, kBlock) != static_cast<int64_t>(kBlock)) {
            error = u"ダンプファイルの読み込みに失敗しました(" + path + u")。";
            return false;
        }
        if (std::all_of(header, header + kBlock, [](unsigned char b) { return b == 0; })) {
            return true;  // the end-of-archive blocks
        }
        uint64_t size = 0;
        if (!ChecksumMatches(header) || !ParseNumber(header + kSizeOffset, kSizeSize, size)) {
            m_damage = Damaged(offset);
            return true;
        }
        std::string name = TextField(header + kNameOffset, kNameSize);
        if (std::memcmp(header + 257, "ustar", 5) == 0) {
            const std::string prefix = TextField(header + kPrefixOffset, kPrefixSize);
            if (!prefix.empty()) name = prefix + "/" + name;
        }
        const uint64_t dataStart = offset + kBlock;
        if (size > fileSize - dataStart) {
            m_damage = CutShort(platform::Utf8ToUtf16(name));
            return true;
        }
        const char type = static_cast<char>(header[kTypeOffset]);
        // Regular files only; a later member of the same name replaces an earlier one,
        // as tar itself does when it extracts.
        if (type == '0' || type == '\0') m_members[name] = Member{dataStart, size};
        const uint64_t padded = (size + kBlock - 1) / kBlock * kBlock;
        offset = dataStart + std::min(padded, fileSize - dataStart);
    }
}

const CTarIndex::Member* CTarIndex::Find(const std::string& name) const {
    auto it = m_members.find(name);
    return it == m_members.end() ? nullptr : &it->second;
}
