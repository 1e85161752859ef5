#include "export/SqlWriter.h"

#include <algorithm>
#include <set>

#include "dump/DumpFile.h"
#include "export/SqlStatements.h"
#include "jobs/JobContext.h"
#include "platform/File.h"
#include "platform/LocalTime.h"
#include "platform/OutputFile.h"
#include "sql/Encoding.h"
#include "store/CopyRows.h"

namespace {

constexpr size_t kOutputBlock = size_t{1} << 20;
constexpr uint64_t kRowsPerCheck = 16384;

// The script file: written in blocks, every write checked, put in place only when finished.
class CScriptOutput {
public:
    ~CScriptOutput() { Abandon(); }

    bool Open(const std::u16string& path, std::u16string& error) {
        if (!m_file.Open(path)) {
            error = u"出力SQLファイルがオープンできませんでした(" + path + u")。";
            return false;
        }
        m_path = path;
        m_open = true;
        m_buffer.reserve(kOutputBlock + (size_t{64} << 10));
        return true;
    }
    std::string& Buffer() { return m_buffer; }
    bool Drain(bool force) {
        if (!m_ok || (!force && m_buffer.size() < kOutputBlock)) return m_ok;
        if (!m_buffer.empty() && !m_file.File().WriteAll(m_buffer.data(), m_buffer.size())) {
            m_ok = false;
        }
        m_buffer.clear();
        return m_ok;
    }
    bool Finish(std::u16string& error) {
        Drain(true);
        if (m_ok && !m_file.Commit()) m_ok = false;
        if (!m_ok) {
            error = u"SQLファイルの書き込みに失敗しました(" + m_path + u")。";
            Abandon();
            return false;
        }
        m_open = false;
        return true;
    }
    // Leaves a file that was there before as it was, and never removes a device.
    void Abandon() {
        if (!m_open) return;
        m_file.Abandon();
        m_open = false;
    }

private:
    platform::COutputFile m_file;
    std::u16string m_path;
    std::string m_buffer;
    bool m_open = false;
    bool m_ok = true;
};

// Copies the chosen rows' lines into the script as they are, with an LF each.
class CCopyScriptSink : public CCopyRowSink {
public:
    enum class State { Reading, Done, Failed, Cancelled };

    CCopyScriptSink(CScriptOutput& out, const TableEntry& table, const SqlTableChoice& choice,
                    IJobContext* job)
        : m_out(out),
          m_test(choice.test),
          m_rows(choice.rows),
          m_job(job),
          m_expected(table.rowCountKnown ? table.rowCount : 0) {}

    State GetState() const { return m_state; }
    const std::u16string& Error() const { return m_error; }
    uint64_t Written() const { return m_written; }

protected:
    bool OnRow(const char* data, size_t length) override {
        const uint64_t index = RowCount() - 1;
        if (m_job != nullptr && index % kRowsPerCheck == kRowsPerCheck - 1) {
            if (m_job->IsCancelled()) {
                m_state = State::Cancelled;
                return false;
            }
            if (m_expected != 0) {
                m_job->SetProgress(
                    static_cast<int>(std::min<uint64_t>(99, index * 100 / m_expected)));
            }
        }
        if (m_rows != nullptr) {
            if (m_next >= m_rows->size()) {
                m_state = State::Done;
                return false;
            }
            if ((*m_rows)[m_next] != index) return true;
            ++m_next;
        } else if (m_test) {
            const SqlRowVerdict verdict = m_test(data, length, m_error);
            if (verdict == SqlRowVerdict::Skip) return true;
            if (verdict == SqlRowVerdict::Fail) {
                m_state = State::Failed;
                return false;
            }
        }
        std::string& buffer = m_out.Buffer();
        buffer.append(data, length);
        buffer += '\n';
        ++m_written;
        if (!m_out.Drain(false)) {
            m_error = u"SQLファイルの書き込みに失敗しました。";
            m_state = State::Failed;
            return false;
        }
        if (m_rows != nullptr && m_next >= m_rows->size()) {
            m_state = State::Done;
            return false;
        }
        return true;
    }

private:
    CScriptOutput& m_out;
    const SqlRowTest& m_test;
    const std::vector<uint64_t>* m_rows;
    size_t m_next = 0;
    IJobContext* m_job;
    uint64_t m_expected;
    State m_state = State::Reading;
    std::u16string m_error;
    uint64_t m_written = 0;
};

// The encoding name psql is told; the dump's own unless a cluster database differs.
std::u16string EncodingName(const DumpInfo& info, int codePage) {
    if (codePage == info.codePage && !info.encoding.empty()) return info.encoding;
    switch (codePage) {
        case 65001:
            return u"UTF8";
        case 20932:
            return u"EUC_JP";
        case 932:
            return u"SJIS";
        case 28591:
            return u"LATIN1";
        default:
            return info.encoding;
    }
}

// A name as pg_dump writes it: bare when it is lower case, digits and underscores.
std::u16string DumpIdentifier(const std::u16string& name) {
    bool bare = !name.empty() && !(name[0] >= u'0' && name[0] <= u'9');
    for (char16_t c : name) {
        if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_')) bare = false;
    }
    return bare ? name : QuoteSqlIdentifier(name);
}

std::u16string DumpQualifiedName(const TableEntry& table) {
    return DumpIdentifier(table.schema) + u"." + DumpIdentifier(table.name);
}

// The statements of the script, in the order they are written.
struct ScriptParts {
    std::vector<std::u16string> preData;
    std::vector<std::u16string> postData;
    // Foreign keys last: they need the keys they reference.
    std::vector<std::u16string> foreignKeys;
    std::vector<std::u16string> sequenceValues;
};

bool Keep(SqlStatementKind kind, const SqlScriptOptions& options) {
    if (kind == SqlStatementKind::Unrestorable) return false;
    if (kind == SqlStatementKind::Owner) return !options.noOwner;
    if (kind == SqlStatementKind::Privilege) return !options.noPrivileges;
    return true;
}

void AddStatements(const std::u16string& text, const SqlScriptOptions& options, ScriptParts& parts,
                   const std::set<std::u16string>* written) {
    for (std::u16string& statement : SplitSqlStatements(text)) {
        const SqlStatementKind kind = ClassifySqlStatement(statement);
        if (!Keep(kind, options)) continue;
        if (kind == SqlStatementKind::PostData) {
            // A key to a table the script leaves out would fail the whole restore.
            const std::u16string target = ReferencedTable(statement);
            if (target.empty()) {
                parts.postData.push_back(std::move(statement));
            } else if (written == nullptr || written->count(target) != 0) {
                parts.foreignKeys.push_back(std::move(statement));
            }
        } else {
            parts.preData.push_back(std::move(statement));
        }
    }
}

// The text after lead up to the first space, or up to stop.
std::u16string NameAfter(const std::u16string& statement, const std::u16string& lead,
                         const std::u16string& stop) {
    const size_t at = statement.find(lead);
    if (at == std::u16string::npos) return {};
    const size_t begin = at + lead.size();
    const size_t end =
        stop.empty() ? statement.find_first_of(u" \r\n;)", begin) : statement.find(stop, begin);
    if (end == std::u16string::npos) return {};
    return statement.substr(begin, end - begin);
}

void GatherTableParts(const IDumpFile& dump, const std::vector<SqlTableChoice>& tables,
                      const SqlScriptOptions& options, ScriptParts& parts) {
    const std::vector<TableEntry>& entries = const_cast<IDumpFile&>(dump).GetTables();
    std::set<std::u16string> written;
    for (const SqlTableChoice& choice : tables) {
        written.insert(DumpQualifiedName(entries[choice.tableIndex]));
    }
    // Sequences owned by a written table come with it, so its defaults and identity
    // columns restore too; their values go with the data.
    std::set<std::u16string> sequences;
    std::vector<std::u16string> afterTables;
    const std::u16string& database = entries[tables.front().tableIndex].database;
    for (const DdlObject& object : dump.GetDdlObjects()) {
        if (object.database != database) continue;
        for (const std::u16string& statement : SplitSqlStatements(object.definition)) {
            std::u16string sequence;
            std::u16string owner = NameAfter(statement, u" OWNED BY ", u"");
            if (statement.rfind(u"ALTER SEQUENCE ", 0) == 0 && !owner.empty()) {
                const size_t dot = owner.rfind(u'.');
                if (dot != std::u16string::npos && written.count(owner.substr(0, dot)) != 0) {
                    sequences.insert(NameAfter(statement, u"ALTER SEQUENCE ", u" OWNED BY"));
                    afterTables.push_back(statement);
                }
            } else if (statement.rfind(u"ALTER TABLE ", 0) == 0 &&
                       statement.find(u" ADD GENERATED ") != std::u16string::npos) {
                std::u16string table = NameAfter(statement, u"ALTER TABLE ", u" ALTER COLUMN");
                if (table.rfind(u"ONLY ", 0) == 0) table = table.substr(5);
                if (written.count(table) != 0) {
                    sequences.insert(NameAfter(statement, u"SEQUENCE NAME ", u""));
                    afterTables.push_back(statement);
                }
            }
        }
    }
    if (options.content != SqlContent::DataOnly) {
        // The schemas, though, so that a table restores into an empty database.
        std::set<std::u16string> schemas;
        for (const SqlTableChoice& choice : tables) {
            const std::u16string& schema = entries[choice.tableIndex].schema;
            if (schema != u"public" && schemas.insert(schema).second) {
                parts.preData.push_back(u"CREATE SCHEMA IF NOT EXISTS " +
                                        QuoteSqlIdentifier(schema) + u";");
            }
        }
        for (const DdlObject& object : dump.GetDdlObjects()) {
            if (object.database != database) continue;
            for (const std::u16string& statement : SplitSqlStatements(object.definition)) {
                if (statement.rfind(u"CREATE SEQUENCE ", 0) == 0 &&
                    sequences.count(NameAfter(statement, u"CREATE SEQUENCE ", u"")) != 0) {
                    AddStatements(statement, options, parts, &written);
                }
            }
        }
        for (const SqlTableChoice& choice : tables) {
            AddStatements(entries[choice.tableIndex].ddl, options, parts, &written);
        }
        for (const std::u16string& statement : afterTables) {
            AddStatements(statement, options, parts, &written);
        }
    }
    for (const DdlObject& value : dump.GetSequenceValues()) {
        if (value.database == database && sequences.count(value.name) != 0) {
            parts.sequenceValues.push_back(value.definition);
        }
    }
}

void GatherWholeParts(const IDumpFile& dump, const SqlScriptOptions& options, ScriptParts& parts) {
    const bool cluster = dump.GetInfo().isCluster;
    if (options.content != SqlContent::DataOnly) {
        for (const DdlObject& object : dump.GetDdlObjects()) {
            if (cluster && object.database != options.database) continue;
            AddStatements(object.definition, options, parts, nullptr);
        }
    }
    for (const DdlObject& value : dump.GetSequenceValues()) {
        if (!cluster || value.database == options.database) {
            parts.sequenceValues.push_back(value.definition);
        }
    }
}

void AppendStatements(const std::vector<std::u16string>& statements, int codePage,
                      std::string& out) {
    for (const std::u16string& statement : statements) {
        // LF only: the file is read by psql on any system.
        for (char c : FromWide(statement, codePage)) {
            if (c != '\r') out += c;
        }
        out += "\n\n";
    }
}

std::u16string CopyStatement(const TableEntry& table) {
    std::u16string text =
        u"COPY " + QuoteSqlIdentifier(table.schema) + u"." + QuoteSqlIdentifier(table.name) + u" (";
    const size_t count =
        table.copyColumns.empty() ? table.columns.size() : table.copyColumns.size();
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) text += u", ";
        text += QuoteSqlIdentifier(table.copyColumns.empty() ? table.columns[i].name
                                                             : table.copyColumns[i]);
    }
    return text + u") FROM stdin;\n";
}

bool WriteTableRows(IDumpFile& dump, const TableEntry& table, const SqlTableChoice& choice,
                    int codePage, CScriptOutput& out, IJobContext* job, uint64_t& rowsWritten,
                    std::u16string& error) {
    out.Buffer() += FromWide(CopyStatement(table), codePage);
    if (job != nullptr) job->SetMessage(u"行データを読み込んでいます: " + table.QualifiedName());
    CCopyScriptSink sink(out, table, choice, job);
    const bool empty = choice.rows != nullptr && choice.rows->empty();
    std::u16string readError;
    const bool read = empty || table.dataKind == TableDataKind_None ||
                      dump.ReadTableData(table, sink, job, readError);
    CCopyScriptSink::State state = sink.GetState();
    if (state == CCopyScriptSink::State::Reading) {
        if (!read) {
            error = readError;
            return false;
        }
        sink.Finish();
        state = sink.GetState();
    }
    if (state == CCopyScriptSink::State::Failed) {
        error = sink.Error();
        return false;
    }
    if (state == CCopyScriptSink::State::Cancelled) {
        error = kCancelledMessage;
        return false;
    }
    rowsWritten += sink.Written();
    out.Buffer() += "\\.\n\n";
    return true;
}

}  // namespace

bool WriteSqlScript(IDumpFile& dump, const std::vector<SqlTableChoice>& tables,
                    const SqlScriptOptions& options, const std::u16string& path, IJobContext* job,
                    uint64_t& rowsWritten, std::u16string& error) {
    rowsWritten = 0;
    const DumpInfo& info = dump.GetInfo();
    std::vector<TableEntry>& entries = dump.GetTables();
    std::vector<SqlTableChoice> chosen = tables;
    if (chosen.empty()) {
        for (size_t i = 0; i < entries.size(); ++i) {
            if (!info.isCluster || entries[i].database == options.database) {
                chosen.push_back(SqlTableChoice{i, {}, nullptr});
            }
        }
    }
    ScriptParts parts;
    if (tables.empty()) {
        GatherWholeParts(dump, options, parts);
    } else {
        GatherTableParts(dump, tables, options, parts);
    }
    int codePage = info.codePage;
    if (!chosen.empty() && entries[chosen.front().tableIndex].codePage != 0) {
        codePage = entries[chosen.front().tableIndex].codePage;
    }

    CScriptOutput out;
    if (!out.Open(path, error)) return false;
    std::string& buffer = out.Buffer();
    buffer +=
        "-- Kalvex SQL script\n-- source: " + FromWide(dump.GetPath(), codePage) +
        "\n-- written: " + FromWide(platform::FormatDateTime(platform::GetLocalTime()), codePage) +
        "\n\n";
    buffer += "SET client_encoding = '" + FromWide(EncodingName(info, codePage), codePage) + "';\n";
    buffer += "SET standard_conforming_strings = on;\n";
    // Functions may name objects created after them; pg_dump's scripts say the same.
    buffer += "SET check_function_bodies = false;\n";
    buffer += "SELECT pg_catalog.set_config('search_path', '', false);\n\n";
    AppendStatements(parts.preData, codePage, buffer);
    if (options.content != SqlContent::DefinitionOnly) {
        for (size_t i = 0; i < chosen.size(); ++i) {
            const TableEntry& table = entries[chosen[i].tableIndex];
            // A table without data of its own (a partitioned parent) gets no COPY.
            if (table.dataKind == TableDataKind_None) continue;
            if (!WriteTableRows(dump, table, chosen[i], codePage, out, job, rowsWritten, error)) {
                out.Abandon();
                return false;
            }
        }
        AppendStatements(parts.sequenceValues, codePage, buffer);
    }
    AppendStatements(parts.postData, codePage, buffer);
    AppendStatements(parts.foreignKeys, codePage, buffer);
    if (!out.Finish(error)) return false;
    if (job != nullptr) job->SetProgress(100);
    return true;
}
