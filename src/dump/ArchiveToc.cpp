// Opening an archive: the header and the table of contents.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dump/ArchiveDump.h"
#include "dump/ArchiveEncoding.h"
#include "dump/BufferedFileReader.h"
#include "platform/Paths.h"
#include "platform/WideChar.h"
#include "sql/Encoding.h"

namespace {

constexpr int32_t kFormatCustom = 1;
// The code pg_dump writes into the toc.dat of a directory dump (the same as its tar
// format uses for the toc inside the tar).
constexpr int32_t kFormatDirectory = 3;
constexpr int32_t kMaxIntSize = 32;

const char16_t kTruncated[] =
    u"アーカイブの読み取りに失敗しました(ファイルが途中で切れているか、壊れています)。";
const char16_t kTocReadFailed[] = u"TOC の読み取りに失敗しました。";

std::u16string CompressionName(int32_t code) {
    switch (code) {
        case 0:
            return u"none";
        case 1:
            return u"gzip";
        case 2:
            return u"lz4";
        case 3:
            return u"zstd";
        default:
            return u"unknown(" + platform::FormatDecimal(code) + u")";
    }
}

// The encoding name between the first two single quotes of the ENCODING entry.
void TakeEncoding(const std::string& defn, DumpInfo& info, int32_t& codePage) {
    size_t open = defn.find('\'');
    if (open == std::string::npos) return;
    size_t close = defn.find('\'', open + 1);
    if (close == std::string::npos) return;
    info.encoding = Utf8ToWide(defn.substr(open + 1, close - open - 1));
    codePage = CodePageFromEncoding(info.encoding);
    info.codePage = codePage;
}

}  // namespace

bool CArchiveDump::Open(const std::u16string& path, bool directory, std::u16string& error) {
    m_path = path;
    m_isDirectory = directory;
    m_dirPath = directory ? DirectoryOf(path) : std::u16string();
    m_info = DumpInfo();
    m_info.formatName = directory ? u"Directory" : u"Custom";
    if (ReadHeaderAndToc(error)) return true;
    if (error.empty()) error = kTruncated;
    return false;
}

bool CArchiveDump::OpenTar(const std::u16string& path, std::u16string& error) {
    m_path = path;
    m_isDirectory = true;
    m_isTar = true;
    m_dirPath.clear();
    m_info = DumpInfo();
    m_info.formatName = u"Tar";
    if (!m_tarMembers.Read(path, error)) return false;
    if (ReadHeaderAndToc(error)) return true;
    if (error.empty()) error = kTruncated;
    return false;
}

bool CArchiveDump::OpenTocReader(BufferedFileReader& reader, std::u16string& error) const {
    if (!m_isTar) {
        if (reader.Open(m_path)) return true;
        error = u"ダンプファイルをオープンできません(" + m_path + u")。";
        return false;
    }
    const CTarIndex::Member* toc = m_tarMembers.Find("toc.dat");
    if (toc == nullptr) {
        // A cut or damage before the member is the better explanation.
        error = !m_tarMembers.Damage().empty()
                    ? m_tarMembers.Damage()
                    : u"tar アーカイブに toc.dat がありません。pg_dump -Ft "
                      u"で出力したファイルを指定してください。";
        return false;
    }
    if (reader.OpenRange(m_path, toc->offset, toc->size)) return true;
    error = u"ダンプファイルをオープンできません(" + m_path + u")。";
    return false;
}

bool CArchiveDump::ReadHeaderAndToc(std::u16string& error) {
    BufferedFileReader reader;
    if (!OpenTocReader(reader, error)) return false;
    char magic[5];
    if (!reader.ReadBytes(magic, 5) || std::memcmp(magic, "PGDMP", 5) != 0) {
        error = u"アーカイブのヘッダ(PGDMP)が見つかりません。";
        return false;
    }

    ArchiveHeader& h = m_header;
    uint8_t byte = 0;
    if (!reader.ReadByte(byte)) return false;
    h.vmaj = byte;
    if (!reader.ReadByte(byte)) return false;
    h.vmin = byte;
    h.vrev = 0;
    if (h.vmaj > 1 || (h.vmaj == 1 && h.vmin != 0)) {
        if (!reader.ReadByte(byte)) return false;
        h.vrev = byte;
    }
    h.version = ArchiveVersion(h.vmaj, h.vmin, h.vrev);
    if (h.version < ArchiveVersion(1, 0) || h.version > ArchiveVersion(1, 16, 255)) {
        error = u"対応していないアーカイブバージョンです(" + platform::FormatDecimal(h.vmaj) +
                u"." + platform::FormatDecimal(h.vmin) + u")。";
        return false;
    }

    if (!reader.ReadByte(byte)) return false;
    if (byte > kMaxIntSize) {
        error = u"アーカイブヘッダが不正です(整数サイズ)。";
        return false;
    }
    h.intSize = byte;
    if (h.version >= ArchiveVersion(1, 7)) {
        if (!reader.ReadByte(byte)) return false;
        h.offSize = byte;
    } else {
        h.offSize = h.intSize;
    }

    if (!reader.ReadByte(byte)) return false;
    const int32_t expectedFormat = m_isDirectory ? kFormatDirectory : kFormatCustom;
    if (byte != expectedFormat) {
        error =
            u"アーカイブ形式の種別が一致しません(ヘッダ=" + platform::FormatDecimal(byte) + u")。";
        return false;
    }

    ArchiveFieldReader fields(reader, h);
    if (h.version >= ArchiveVersion(1, 15)) {
        if (!reader.ReadByte(byte)) return false;
        h.compression = byte;
    } else if (h.version >= ArchiveVersion(1, 4)) {
        int32_t level;
        if (!fields.ReadInt(level)) return false;
        h.compression = level != 0 ? 1 : 0;
    } else if (h.version >= ArchiveVersion(1, 2)) {
        if (!reader.ReadByte(byte)) return false;
        h.compression = byte != 0 ? 1 : 0;
    } else {
        h.compression = 1;
    }

    if (h.version >= ArchiveVersion(1, 4)) {
        int32_t t[7];
        for (int32_t& v : t) {
            if (!fields.ReadInt(v)) return false;
        }
        char buffer[64];
        // Widened: a damaged year near the 32-bit limit must not overflow.
        int n = std::snprintf(buffer, sizeof buffer, "%04lld/%02lld/%02d %02d:%02d:%02d",
                              t[5] + 1900LL, t[4] + 1LL, t[3], t[2], t[1], t[0]);
        m_info.createdAt = std::u16string(buffer, buffer + std::min<size_t>(n, sizeof buffer - 1));
        std::string database;
        if (!fields.ReadString(database)) return false;
        m_info.database = Utf8ToWide(database);
    }
    if (h.version >= ArchiveVersion(1, 10)) {
        std::string serverVersion, dumpVersion;
        if (!fields.ReadString(serverVersion) || !fields.ReadString(dumpVersion)) return false;
        m_info.serverVersion = Utf8ToWide(serverVersion);
        m_info.dumpVersion = Utf8ToWide(dumpVersion);
    }
    m_info.compression = CompressionName(h.compression);

    int32_t count;
    if (!fields.ReadInt(count)) {
        error = kTocReadFailed;
        return false;
    }
    // A negative count is damage; a huge one is only believed as far as entries arrive.
    if (count < 0) return false;
    m_toc.clear();
    m_toc.reserve(std::min<size_t>(static_cast<size_t>(count), 4096));
    for (int32_t i = 0; i < count; ++i) {
        TocEntry entry;
        if (!ReadTocEntry(reader, entry, error)) return false;
        if (entry.desc == "ENCODING") TakeEncoding(entry.defn, m_info, m_codePage);
        m_toc.push_back(std::move(entry));
    }
    h.dataStart = static_cast<int64_t>(reader.Position());

    if (m_info.encoding.empty()) {
        m_info.encoding = u"UTF8";
        m_codePage = m_info.codePage = 65001;
    }
    BuildCatalogue();
    return true;
}

bool CArchiveDump::ReadTocEntry(BufferedFileReader& reader, TocEntry& e, std::u16string& error) {
    const int32_t v = m_header.version;
    ArchiveFieldReader fields(reader, m_header);
    if (!fields.ReadInt(e.dumpId)) {
        error = kTocReadFailed;
        return false;
    }
    if (e.dumpId < 1) {
        error = u"TOC が壊れています(エントリID " + platform::FormatDecimal(e.dumpId) + u")。";
        return false;
    }
    std::string discarded;
    if (!fields.ReadInt(e.hadDumper)) return false;
    if (v >= ArchiveVersion(1, 8) && !fields.ReadString(discarded)) return false;  // table oid
    if (!fields.ReadString(discarded)) return false;                               // object oid
    if (!fields.ReadString(e.tag) || !fields.ReadString(e.desc)) return false;
    if (v >= ArchiveVersion(1, 11) && !fields.ReadInt(e.section)) return false;
    if (!fields.ReadString(e.defn) || !fields.ReadString(e.dropStmt)) return false;
    if (v >= ArchiveVersion(1, 3) && !fields.ReadString(e.copyStmt)) return false;
    if (v >= ArchiveVersion(1, 6) && !fields.ReadString(e.schema)) return false;
    if (v >= ArchiveVersion(1, 10) && !fields.ReadString(e.tablespace)) return false;
    if (v >= ArchiveVersion(1, 14) && !fields.ReadString(e.tableAm)) return false;
    if (v >= ArchiveVersion(1, 16) && !fields.ReadInt(e.relKind)) return false;
    if (!fields.ReadString(e.owner)) return false;
    if (v >= ArchiveVersion(1, 9) && !fields.ReadString(discarded)) return false;  // WITH OIDS
    if (v >= ArchiveVersion(1, 5)) {
        for (;;) {
            bool isNull = false;
            if (!fields.SkipString(isNull)) return false;
            if (isNull) break;
        }
    }
    if (m_isDirectory) {
        if (!fields.ReadString(e.fileName)) return false;
    } else {
        if (!fields.ReadOffset(e.dataState, e.dataOffset)) return false;
        int32_t oldSize;
        if (v < ArchiveVersion(1, 7) && !fields.ReadInt(oldSize)) return false;
    }
    return true;
}
