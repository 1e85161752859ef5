#include "plain/PlainDump.h"

#include <functional>

#include "dump/CompressedFile.h"
#include "jobs/JobContext.h"
#include "platform/File.h"
#include "platform/TempFiles.h"

CPlainDump::~CPlainDump() {
    if (!m_tempPath.empty()) platform::DeleteFile(m_tempPath);
}

bool CPlainDump::Open(const std::u16string& path, StreamFormat compression) {
    m_path = path;
    m_compression = compression;
    const bool compressed = compression != StreamFormat::Plain;
    m_readPath = compressed ? std::u16string() : path;
    m_info = DumpInfo();
    m_info.formatName = compressed
                            ? u"Plain SQL (" + std::u16string(StreamFormatName(compression)) + u")"
                            : u"Plain SQL";
    m_info.encoding = u"UTF8";
    m_info.codePage = 65001;
    m_info.compression = StreamFormatName(compression);
    return true;
}

bool CPlainDump::ExpandIfCompressed(IJobContext* job, std::u16string& error) {
    if (m_compression == StreamFormat::Plain || !m_readPath.empty()) return true;
    if (job != nullptr) job->SetMessage(ExpansionMessage());
    const std::u16string tempName = MakeTempFilePath(u".sql");
    if (!ExpandCompressedToFile(m_path, m_compression, tempName, job, error)) return false;
    m_tempPath = m_readPath = tempName;
    return true;
}

std::u16string CPlainDump::ExpansionMessage() const {
    return std::u16string(StreamFormatName(m_compression)) + u" を展開しています";
}

void CPlainDump::DiscardExpanded() {
    if (m_tempPath.empty()) return;
    platform::DeleteFile(m_tempPath);
    m_tempPath.clear();
    m_readPath.clear();
}

size_t CPlainDump::PositionOf(const TableEntry& table) const {
    const std::vector<TableEntry>& entries = m_catalogue.Entries();
    const std::less<const TableEntry*> before;
    if (entries.empty() || before(&table, entries.data()) ||
        !before(&table, entries.data() + entries.size())) {
        return std::string::npos;
    }
    return static_cast<size_t>(&table - entries.data());
}

int32_t CPlainDump::TableCodePage(const TableEntry& table) const {
    return table.codePage != 0 ? table.codePage : m_codePage;
}

void CPlainDump::Log(const std::u16string& line) const {
    if (m_logger) m_logger(line);
}
