#include "plain/PlainDump.h"

#include <functional>

#include "dump/GzipFile.h"
#include "jobs/JobContext.h"
#include "platform/File.h"
#include "platform/TempFiles.h"

CPlainDump::~CPlainDump() {
    if (!m_tempPath.empty()) platform::DeleteFile(m_tempPath);
}

bool CPlainDump::Open(const std::u16string& path, bool gzip) {
    m_path = path;
    m_gzip = gzip;
    m_readPath = gzip ? std::u16string() : path;
    m_info = DumpInfo();
    m_info.formatName = gzip ? u"Plain SQL (gzip)" : u"Plain SQL";
    m_info.encoding = u"UTF8";
    m_info.codePage = 65001;
    m_info.compression = gzip ? u"gzip" : u"none";
    return true;
}

bool CPlainDump::ExpandIfCompressed(IJobContext* job, std::u16string& error) {
    if (!m_gzip || !m_readPath.empty()) return true;
    if (job != nullptr) job->SetMessage(u"gzip を展開しています");
    const std::u16string tempName = MakeTempFilePath(u".sql");
    if (!ExpandGzipToFile(m_path, tempName, job, error)) return false;
    m_tempPath = m_readPath = tempName;
    return true;
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
