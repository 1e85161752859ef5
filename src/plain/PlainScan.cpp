// The scan of a plain script: statements are read once, from start to end, and a handful
// of kinds build the catalogue; every other statement is listed as a schema object.
#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "dump/BackgroundExpansion.h"
#include "dump/BufferedFileReader.h"
#include "jobs/JobContext.h"
#include "plain/ConnectParser.h"
#include "plain/InsertParser.h"
#include "plain/PlainDump.h"
#include "platform/TempFiles.h"
#include "platform/WideChar.h"
#include "sql/CreateTableParser.h"
#include "sql/Encoding.h"
#include "sql/InheritedColumns.h"
#include "sql/SqlText.h"

namespace {

// Progress and cancellation are looked at every 1,024 statements, and also after this
// many bytes, so that a script of few but huge statements stays responsive.
constexpr uint64_t kStatementsPerPoll = 1024;
constexpr uint64_t kBytesPerPoll = uint64_t{64} << 20;
constexpr int kHeaderLines = 20;

// The statement begins with these words, each a whole word; pos ends after the last.
bool LeadsWith(const std::string& text, std::initializer_list<const char*> words, size_t& pos) {
    pos = 0;
    for (const char* word : words) {
        if (!MatchKeyword(text, pos, word)) return false;
    }
    return true;
}

bool LeadsWith(const std::string& text, std::initializer_list<const char*> words) {
    size_t pos = 0;
    return LeadsWith(text, words, pos);
}

// The statement's text without surrounding SQL space, decoded; no trimmed copy is made,
// which matters for the few statements of many megabytes.
std::u16string Definition(const std::string& text, int codePage) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsSqlSpace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && IsSqlSpace(static_cast<unsigned char>(text[end - 1]))) --end;
    return ToWide(text.data() + begin, end - begin, codePage);
}

// An attached statement follows an empty line; appended in place, as a definition may be
// megabytes long.
void AppendAttached(TableEntry& table, const std::u16string& definition) {
    table.ddl.reserve(table.ddl.size() + definition.size() + 4);
    table.ddl.append(u"\r\n").append(definition).append(u"\r\n");
}

// The object type of a statement that no rule claims: GRANT SELECT, DROP TABLE, or for
// CREATE and ALTER the kind of object (VIEW, SEQUENCE, FUNCTION...).
std::u16string ObjectTypeOf(const std::string& text) {
    const std::string w2 = LeadingWords(text, 2);
    if (w2.rfind("CREATE ", 0) != 0 && w2.rfind("ALTER ", 0) != 0) return Utf8ToWide(w2);
    std::string type = w2.substr(w2.find(' ') + 1);
    for (const char* filler : {"OR", "UNIQUE", "MATERIALIZED", "OPERATOR", "TEXT", "FOREIGN"}) {
        if (type == filler) {
            const std::string w3 = LeadingWords(text, 3);
            type = w3.substr(w3.rfind(' ') + 1);
            break;
        }
    }
    return Utf8ToWide(type);
}

// The database a statement about a database names: ALTER DATABASE x, COMMENT ON DATABASE
// x, GRANT or REVOKE ... ON DATABASE x, SECURITY LABEL ... ON DATABASE x.
bool NamedDatabase(const std::string& text, std::string& name) {
    size_t pos = 0;
    if (LeadsWith(text, {"ALTER", "DATABASE"}, pos) ||
        LeadsWith(text, {"COMMENT", "ON", "DATABASE"}, pos)) {
        return ReadIdentifier(text, pos, name);
    }
    if (!LeadsWith(text, {"GRANT"}) && !LeadsWith(text, {"REVOKE"}) &&
        !LeadsWith(text, {"SECURITY", "LABEL"})) {
        return false;
    }
    for (size_t at = FindNoCase(text, "ON DATABASE"); at != std::string::npos;
         at = FindNoCase(text, "ON DATABASE", at + 1)) {
        pos = at;
        if (at > 0 && IsSqlWordChar(static_cast<unsigned char>(text[at - 1]))) continue;
        if (MatchKeyword(text, pos, "ON") && MatchKeyword(text, pos, "DATABASE")) {
            return ReadIdentifier(text, pos, name);
        }
    }
    return false;
}

bool StartsWith(const char* data, size_t length, const char* prefix) {
    const size_t prefixLength = std::strlen(prefix);
    return length >= prefixLength && std::memcmp(data, prefix, prefixLength) == 0;
}

}  // namespace

bool CPlainDump::Scan(IJobContext* job, std::u16string& error) {
    m_catalogue.Clear();
    m_ddlObjects.clear();
    m_sequenceValues.clear();
    m_info.databases.clear();
    m_info.isCluster = false;
    m_info.encoding = u"UTF8";
    m_info.codePage = 65001;
    m_info.serverVersion.clear();
    m_info.dumpVersion.clear();
    m_codePage = 65001;
    m_currentDatabase.clear();
    m_firstDatabaseEnd = 0;
    m_copySections.clear();
    m_lastInsert = InsertTarget();

    // A compressed script is expanded on a thread of its own while the scan follows the
    // expanded file, so that the two take a core each.
    CBackgroundExpansion expansion(job);
    BufferedFileReader reader;
    bool opened = false;
    if (m_compression != StreamFormat::Plain && m_readPath.empty()) {
        if (job != nullptr) job->SetMessage(ExpansionMessage());
        m_tempPath = m_readPath = MakeTempFilePath(u".sql");
        expansion.Start(m_path, m_compression, m_readPath);
        job = expansion.ReaderJob();
        opened = reader.OpenGrowing(m_readPath, expansion.File());
    } else {
        opened = reader.Open(m_readPath);
    }
    bool ok = opened;
    if (!opened) {
        error = u"ダンプファイルをオープンできません(" + m_readPath + u")。";
    } else {
        if (job != nullptr) job->SetMessage(u"ダンプファイルを走査しています");
        ok = ScanStatements(reader, job, error);
    }
    reader.Close();
    // A wait for the expansion that a cancel ended looks like a read failure to the scan.
    if (!ok && job != nullptr && job->IsCancelled()) error = kCancelledMessage;
    if (expansion.Started()) {
        // A scan that stopped early no longer needs the rest of the file.
        if (!ok) expansion.Stop();
        // The expansion's own failure explains whatever the scan saw of its output, and
        // its message is the one the user would get without the overlap.
        std::u16string expansionError;
        if (!expansion.Join(expansionError)) {
            error = expansionError;
            ok = false;
        }
    }
    if (!ok) {
        DiscardExpanded();
        return false;
    }

    ReadHeaderComments();
    if (m_info.isCluster && (m_info.serverVersion.empty() || m_info.dumpVersion.empty())) {
        ReadFirstDatabaseHeader();
    }
    // Tables known only from their COPY list (data-only scripts, inherited columns).
    for (TableEntry& table : m_catalogue.Entries()) {
        if (!table.copyColumns.empty() && table.columns.empty()) table.ApplyCopyColumns();
    }
    if (job != nullptr) job->SetProgress(100);
    return true;
}

bool CPlainDump::ScanStatements(BufferedFileReader& reader, IJobContext* job,
                                std::u16string& error) {
    // The line ends of the first window tell an LF script from a CRLF one (a converted
    // copy of a dump); a line break inside a literal does not outvote them.
    reader.Refill();
    {
        const char* data = reader.Data();
        const size_t size = reader.Available();
        size_t crlf = 0, lf = 0;
        for (const char* at = data;
             (at = static_cast<const char*>(std::memchr(at, '\n', size - (at - data)))) != nullptr;
             ++at) {
            ++(at > data && at[-1] == '\r' ? crlf : lf);
        }
        m_crlfScript = crlf > lf;
    }

    StatementOptions options;
    options.keepQuotedCR = !m_crlfScript;
    SqlStatement statement;
    uint64_t count = 0;
    uint64_t nextPollOffset = kBytesPerPoll;
    const uint64_t size = reader.FileSize() > 0 ? reader.FileSize() : 1;
    for (;;) {
        options.codePage = m_codePage;
        if (!ReadStatement(reader, statement, options)) break;
        bool ok = true;
        if (statement.kind == SqlStatementKind_MetaCommand) {
            HandleMetaCommand(statement);
        } else {
            ok = ClassifyStatement(reader, statement, job);
        }
        ++count;
        if (job != nullptr &&
            (!ok || count % kStatementsPerPoll == 0 || reader.Position() >= nextPollOffset)) {
            nextPollOffset = reader.Position() + kBytesPerPoll;
            if (!ok || job->IsCancelled()) {
                error = kCancelledMessage;
                return false;
            }
            job->SetProgress(static_cast<int>(reader.Position() * 100 / size));
        }
    }
    // A read error must not pass for the end of the script.
    if (reader.IoFailed()) {
        error = u"ファイルの読み込みに失敗しました。";
        return false;
    }
    return true;
}

bool CPlainDump::ClassifyStatement(BufferedFileReader& reader, const SqlStatement& statement,
                                   IJobContext* job) {
    const std::string& text = statement.text;
    size_t pos = 0;
    // The most frequent kind first: an INSERT script is mostly INSERT statements.
    if (ClassifyRepeatedInsert(statement)) return true;
    if (LeadsWith(text, {"INSERT", "INTO"}, pos)) {
        ClassifyInsert(statement, pos);
        return true;
    }
    if (LeadsWith(text, {"SET"}, pos)) {
        ClassifySet(text, pos);
        return true;
    }
    if (LeadsWith(text, {"COPY"}, pos)) return ClassifyCopy(reader, text, pos, job);
    if (LeadsWith(text, {"SELECT"})) {
        if (FindNoCase(text, "PG_CATALOG.SETVAL(") != std::string::npos) {
            DdlObject value;
            value.database = m_currentDatabase;
            value.objectType = u"SEQUENCE SET";
            value.definition = Definition(text, m_codePage);
            value.name = SetvalSequenceName(value.definition);
            m_sequenceValues.push_back(std::move(value));
        }
        return true;
    }
    if (LeadsWith(text, {"CREATE", "TABLE"}) || LeadsWith(text, {"CREATE", "UNLOGGED", "TABLE"}) ||
        LeadsWith(text, {"CREATE", "FOREIGN", "TABLE"})) {
        ClassifyCreateTable(text);
        return true;
    }
    if (LeadsWith(text, {"CREATE", "DATABASE"}, pos)) {
        const bool wasCluster = m_info.isCluster;
        ClassifyCreateDatabase(text, pos);
        if (!wasCluster && m_info.isCluster) m_firstDatabaseEnd = statement.endOffset;
        return true;
    }

    std::u16string definition = Definition(text, m_codePage);
    const OwningTable owner = FindOwningTable(text);
    const char16_t* objectType = nullptr;
    switch (owner.kind) {
        case TableStatementKind_AlterTable:
            objectType = u"ALTER TABLE";
            break;
        case TableStatementKind_Index:
            objectType = u"INDEX";
            break;
        case TableStatementKind_Comment:
            objectType = u"COMMENT";
            break;
        default:
            // A script's triggers are listed on their own, not attached to their table.
            break;
    }
    if (objectType == nullptr) {
        AddDdlObject(ObjectTypeOf(text), std::move(definition));
        ClaimForNamedDatabase(text);
        return true;
    }
    if (owner.found) AttachToTable(owner, definition);
    AddDdlObject(objectType, std::move(definition));
    if (owner.kind == TableStatementKind_Comment) ClaimForNamedDatabase(text);
    return true;
}

void CPlainDump::ClassifySet(const std::string& text, size_t position) {
    if (!MatchKeyword(text, position, "client_encoding")) return;
    const size_t open = text.find('\'', position);
    if (open == std::string::npos) return;
    const size_t close = text.find('\'', open + 1);
    if (close == std::string::npos) return;
    m_info.encoding = Utf8ToWide(text.substr(open + 1, close - open - 1));
    m_codePage = CodePageFromEncoding(m_info.encoding);
    m_info.codePage = m_codePage;
    m_lastInsert.valid = false;
}

void CPlainDump::ClassifyCreateTable(const std::string& text) {
    std::string schema, name;
    std::vector<ColumnDefinition> columns;
    if (!ParseCreateTable(text, schema, name, columns)) return;
    const size_t index = AddTable(schema, name);
    TableEntry& table = m_catalogue.Entries()[index];
    if (!columns.empty()) table.SetColumns(columns, m_codePage);
    InheritColumns(text, index);
    const std::u16string definition = Definition(text, m_codePage);
    table.ddl = definition + u"\r\n" + table.ddl;
    AddDdlObject(u"TABLE", definition, table.schema, table.name);
}

void CPlainDump::InheritColumns(const std::string& text, size_t index) {
    std::vector<std::pair<std::string, std::string>> parents;
    if (!ReadInheritedParents(text, parents)) return;
    std::vector<const std::vector<ColumnInfo>*> parentColumns;
    for (const auto& [schema, name] : parents) {
        const TableEntry* parent = m_catalogue.Find(m_currentDatabase, ToWide(schema, m_codePage),
                                                    ToWide(name, m_codePage));
        // A parent outside the script: its columns are unknown, keep what was written.
        if (parent == nullptr) return;
        parentColumns.push_back(&parent->columns);
    }
    TableEntry& table = m_catalogue.Entries()[index];
    table.columns = MergeInheritedColumns(parentColumns, table.columns);
}

void CPlainDump::ClassifyCreateDatabase(const std::string& text, size_t position) {
    std::string name;
    std::u16string wideName;
    if (ReadIdentifier(text, position, name)) {
        wideName = ToWide(name, m_codePage);
        bool known = false;
        for (const std::u16string& database : m_info.databases)
            known = known || database == wideName;
        if (!known) m_info.databases.push_back(wideName);
        m_info.isCluster = true;
    }
    AddDdlObject(u"DATABASE", Definition(text, m_codePage), std::u16string(), wideName);
    // pg_dumpall creates a database before it connects to it: the statement belongs to the
    // database it creates, not to the one before.
    if (!wideName.empty()) m_ddlObjects.back().database = wideName;
}

void CPlainDump::ClaimForNamedDatabase(const std::string& text) {
    // Like CREATE DATABASE, the owner, comment, privileges and settings pg_dumpall writes
    // with it come before the \connect; they go with the database they name, when the
    // script has that database.
    std::string name;
    if (!NamedDatabase(text, name)) return;
    const std::u16string database = ToWide(name, m_codePage);
    if (std::find(m_info.databases.begin(), m_info.databases.end(), database) ==
        m_info.databases.end()) {
        return;
    }
    m_ddlObjects.back().database = database;
}

bool CPlainDump::ClassifyCopy(BufferedFileReader& reader, const std::string& text, size_t position,
                              IJobContext* job) {
    std::string schema, name;
    std::vector<std::string> columns;
    const bool named = ReadQualifiedName(text, position, schema, name);
    if (named) {
        SkipSqlSpace(text, position);
        if (position < text.size() && text[position] == '(' &&
            !ReadColumnList(text, position, columns)) {
            columns.clear();
        }
    }
    if (FindNoCase(text, "FROM STDIN") == std::string::npos) return true;

    // The data lines follow whether or not the name could be read: they must never be
    // taken for statements.
    uint64_t rows = 0, start = 0, end = 0;
    if (!SkipCopyData(reader, rows, start, end, job)) return false;
    if (!named) return true;
    // Past an end line the reader stands beyond the data; at the end of the file it does not.
    const bool cut = reader.Position() == end && reader.AtEnd();

    const size_t index = AddTable(schema, name);
    TableEntry& table = m_catalogue.Entries()[index];
    table.dataCut = table.dataCut || cut;
    if (table.dataKind == TableDataKind_None) {
        table.dataKind = TableDataKind_Copy;
        table.dataOffset = static_cast<int64_t>(start);
        table.dataEnd = static_cast<int64_t>(end);
        table.copyColumns.clear();
        for (const std::string& column : columns) {
            table.copyColumns.push_back(ToWide(column, m_codePage));
        }
        table.ApplyCopyColumns();
        table.codePage = m_codePage;
    } else {
        if (table.dataKind == TableDataKind_Copy) {
            // Later sections are read as well, so the rows delivered match the count.
            auto& sections = m_copySections[index];
            if (sections.empty()) {
                sections.emplace_back(static_cast<uint64_t>(table.dataOffset),
                                      static_cast<uint64_t>(table.dataEnd));
            }
            sections.emplace_back(start, end);
        }
        table.dataEnd = static_cast<int64_t>(end);
    }
    table.rowCount += rows;
    table.rowCountKnown = true;
    Log(u"[copy] " + table.QualifiedName() + u" rows=" +
        platform::FormatDecimal(static_cast<int64_t>(rows)));
    return true;
}

bool CPlainDump::ClassifyRepeatedInsert(const SqlStatement& statement) {
    const std::string& header = m_lastInsert.header;
    const std::string& text = statement.text;
    if (!m_lastInsert.valid || header.empty() || text.size() < header.size() ||
        std::memcmp(text.data(), header.data(), header.size()) != 0 ||
        (text.size() > header.size() &&
         IsSqlWordChar(static_cast<unsigned char>(text[header.size()])))) {
        return false;
    }
    RecordInsert(statement, m_lastInsert.index, header.size());
    return true;
}

void CPlainDump::ClassifyInsert(const SqlStatement& statement, size_t position) {
    const std::string& text = statement.text;
    m_lastInsert.header.clear();
    if (!ReadQualifiedName(text, position, m_insertSchema, m_insertName)) return;

    size_t index = 0;
    if (m_lastInsert.valid && m_lastInsert.schema == m_insertSchema &&
        m_lastInsert.name == m_insertName) {
        index = m_lastInsert.index;
    } else {
        index = AddTable(m_insertSchema, m_insertName);
        m_lastInsert.valid = true;
        m_lastInsert.schema = m_insertSchema;
        m_lastInsert.name = m_insertName;
        m_lastInsert.index = index;
    }

    m_insertColumns.clear();
    SkipSqlSpace(text, position);
    if (position < text.size() && text[position] == '(' &&
        !ReadColumnList(text, position, m_insertColumns)) {
        m_insertColumns.clear();
    }
    size_t rowsFrom = FindNoCase(text, "VALUES", position);
    if (rowsFrom != std::string::npos) {
        rowsFrom += 6;
        // pg_dump starts every INSERT of a table with the same bytes up to VALUES: the
        // next statements that do are recognised by comparing them.
        if (rowsFrom == text.size() || !IsSqlWordChar(static_cast<unsigned char>(text[rowsFrom]))) {
            m_lastInsert.header.assign(text, 0, rowsFrom);
        }
    }
    RecordInsert(statement, index, rowsFrom);
}

void CPlainDump::RecordInsert(const SqlStatement& statement, size_t index, size_t rowsFrom) {
    const std::string& text = statement.text;
    CInsertRowCounter counter(m_codePage);
    if (rowsFrom != std::string::npos) {
        counter.Feed(text.data() + rowsFrom, text.size() - rowsFrom);
        // A statement too long to keep is counted on from the file.
        if (statement.truncated && !counter.Done()) {
            CountRowsFromFile(statement.keptEnd, statement.endOffset, counter);
        }
    }
    TableEntry& table = m_catalogue.Entries()[index];
    if (table.dataKind == TableDataKind_None) {
        table.dataKind = TableDataKind_Insert;
        table.dataOffset = static_cast<int64_t>(statement.startOffset);
        table.copyColumns.clear();
        for (const std::string& column : m_insertColumns) {
            table.copyColumns.push_back(ToWide(column, m_codePage));
        }
        table.ApplyCopyColumns();
        table.codePage = m_codePage;
    }
    table.dataEnd = static_cast<int64_t>(statement.endOffset);
    table.rowCount += counter.Rows();
    table.rowCountKnown = true;
}

void CPlainDump::CountRowsFromFile(uint64_t from, uint64_t to, CInsertRowCounter& counter) const {
    BufferedFileReader reader;
    if (!reader.Open(m_readPath) || !reader.Seek(from)) return;
    uint64_t left = to > from ? to - from : 0;
    while (left > 0 && !counter.Done()) {
        if (reader.Available() == 0 && !reader.Refill()) return;
        const size_t take = static_cast<size_t>(std::min<uint64_t>(left, reader.Available()));
        counter.Feed(reader.Data(), take);
        reader.Consume(take);
        left -= take;
    }
}

void CPlainDump::AttachToTable(const OwningTable& owner, const std::u16string& definition) {
    // An empty schema (a column comment written t.c) finds the first table t of any schema.
    TableEntry* table = m_catalogue.Find(m_currentDatabase, ToWide(owner.schema, m_codePage),
                                         ToWide(owner.name, m_codePage));
    if (table != nullptr) AppendAttached(*table, definition);
}

void CPlainDump::HandleMetaCommand(const SqlStatement& statement) {
    std::string name;
    if (!ParseConnectDatabase(statement.text, name)) return;
    const std::u16string database = ToWide(name, m_codePage);
    if (database.empty()) return;
    m_currentDatabase = database;
    bool known = false;
    for (const std::u16string& existing : m_info.databases) known = known || existing == database;
    if (!known) m_info.databases.push_back(database);
    if (!m_info.isCluster) m_firstDatabaseEnd = statement.endOffset;
    m_info.isCluster = true;
    m_lastInsert.valid = false;
    Log(u"[connect] " + database);
}

void CPlainDump::AddDdlObject(std::u16string objectType, std::u16string definition,
                              std::u16string schema, std::u16string name) {
    DdlObject object;
    object.database = m_currentDatabase;
    object.objectType = std::move(objectType);
    object.schema = std::move(schema);
    object.name = std::move(name);
    object.definition = std::move(definition);
    m_ddlObjects.push_back(std::move(object));
}

size_t CPlainDump::AddTable(const std::string& schema, const std::string& name) {
    TableEntry& table = m_catalogue.FindOrAdd(m_currentDatabase, ToWide(schema, m_codePage),
                                              ToWide(name, m_codePage));
    const size_t index = static_cast<size_t>(&table - m_catalogue.Entries().data());
    if (table.codePage == 0) table.codePage = m_codePage;
    return index;
}

void CPlainDump::ReadHeaderComments() {
    BufferedFileReader reader;
    if (!reader.Open(m_readPath)) return;
    // The version comments sit in the first lines; one window is as far as we look, so a
    // script of a few enormous lines costs nothing here.
    reader.Refill();
    const char* data = reader.Data();
    const size_t size = reader.Available();
    size_t pos = 0;
    for (int line = 0; line < kHeaderLines && pos < size; ++line) {
        const void* lf = std::memchr(data + pos, '\n', size - pos);
        const size_t end =
            lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - data) : size;
        size_t lineEnd = end;
        if (lf != nullptr && lineEnd > pos && data[lineEnd - 1] == '\r') --lineEnd;
        const char* text = data + pos;
        const size_t length = lineEnd - pos;
        static const char kServer[] = "-- Dumped from database version ";
        static const char kTool[] = "-- Dumped by pg_dump version ";
        if (StartsWith(text, length, kServer)) {
            const size_t skip = sizeof(kServer) - 1;
            m_info.serverVersion = Utf8ToWide(std::string(text + skip, length - skip));
        } else if (StartsWith(text, length, kTool)) {
            const size_t skip = sizeof(kTool) - 1;
            m_info.dumpVersion = Utf8ToWide(std::string(text + skip, length - skip));
        }
        if (lf == nullptr) break;
        pos = end + 1;
    }
}

void CPlainDump::ReadFirstDatabaseHeader() {
    // pg_dumpall starts with the roles and other global objects; the versions are stated
    // by the header of the first database's own dump, which lies before that database's
    // CREATE DATABASE, or just after its \connect when pg_dumpall connects first
    // (template1). So the search ends a header's length after that statement.
    BufferedFileReader reader;
    if (!reader.Open(m_readPath)) return;
    static const char kServer[] = "-- Dumped from database version ";
    static const char kTool[] = "-- Dumped by pg_dump version ";
    std::u16string server;
    std::u16string tool;
    std::string line;
    int linesAfter = 0;
    while ((server.empty() || tool.empty()) && linesAfter < kHeaderLines && reader.ReadLine(line)) {
        if (reader.Position() > m_firstDatabaseEnd) ++linesAfter;
        if (server.empty() && StartsWith(line.data(), line.size(), kServer)) {
            server = Utf8ToWide(line.substr(sizeof(kServer) - 1));
        } else if (tool.empty() && StartsWith(line.data(), line.size(), kTool)) {
            tool = Utf8ToWide(line.substr(sizeof(kTool) - 1));
        }
    }
    if (m_info.serverVersion.empty()) m_info.serverVersion = server;
    if (m_info.dumpVersion.empty()) m_info.dumpVersion = tool;
}
