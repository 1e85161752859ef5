#include <string>
#include <vector>

#include "app/AppText.h"
#include "cli/CliDump.h"
#include "cli/CliJob.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "platform/Utf8.h"
#include "platform/WideChar.h"

namespace {

const char16_t* DataKindName(int32_t kind) {
    switch (kind) {
        case TableDataKind_Copy:
            return u"copy";
        case TableDataKind_Insert:
            return u"insert";
        default:
            return u"none";
    }
}

// Names may hold any character; TSV fields escape the ones that would break a line.
std::u16string TsvField(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        switch (c) {
            case u'\\':
                out += u"\\\\";
                break;
            case u'\t':
                out += u"\\t";
                break;
            case u'\n':
                out += u"\\n";
                break;
            case u'\r':
                out += u"\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::u16string DatabasesText(const DumpInfo& info) {
    if (info.databases.empty()) return info.database;
    std::u16string joined;
    for (const std::u16string& name : info.databases) {
        if (!joined.empty()) joined += u", ";
        joined += name;
    }
    return joined;
}

std::u16string FormatText(const DumpInfo& info) {
    return info.isCluster ? info.formatName + u" (pg_dumpall)" : info.formatName;
}

void PrintHuman(const IDumpFile& dump, const std::vector<TableEntry>& tables) {
    const DumpInfo& info = dump.GetInfo();
    std::u16string out;
    auto property = [&out](const char16_t* key, const std::u16string& value) {
        out += key;
        out += value;
        out += u'\n';
    };
    property(u"format:          ", FormatText(info));
    property(u"database:        ", DatabasesText(info));
    property(u"server version:  ", info.serverVersion);
    property(u"pg_dump version: ", info.dumpVersion);
    property(u"encoding:        ", info.encoding);
    property(u"compression:     ", info.compression);
    property(u"created:         ", info.createdAt);
    property(u"tables:          ", platform::FormatDecimal(static_cast<int64_t>(tables.size())));
    out += u'\n';
    for (const TableEntry& t : tables) {
        if (info.isCluster) out += t.database + u": ";
        out += t.QualifiedName();
        out += u"  ";
        out += t.rowCountKnown ? FormatThousands(t.rowCount) : u"?";
        out += u" rows, ";
        out += platform::FormatDecimal(static_cast<int64_t>(t.columns.size()));
        out += u" columns, ";
        out += DataKindName(t.dataKind);
        out += u'\n';
    }
    PrintOut(out);
}

void PrintTsv(const IDumpFile& dump, const std::vector<TableEntry>& tables) {
    const DumpInfo& info = dump.GetInfo();
    std::u16string out;
    auto property = [&out](const char16_t* key, const std::u16string& value) {
        out += key;
        out += u'\t';
        out += TsvField(value);
        out += u'\n';
    };
    property(u"format", FormatText(info));
    property(u"database", DatabasesText(info));
    property(u"server_version", info.serverVersion);
    property(u"dump_version", info.dumpVersion);
    property(u"encoding", info.encoding);
    property(u"compression", info.compression);
    property(u"created", info.createdAt);
    property(u"tables", platform::FormatDecimal(static_cast<int64_t>(tables.size())));
    out += u"\ndatabase\tschema\ttable\trows\tcolumns\tdata\n";
    for (const TableEntry& t : tables) {
        out += TsvField(t.database) + u'\t' + TsvField(t.schema) + u'\t' + TsvField(t.name) + u'\t';
        out += t.rowCountKnown ? platform::FormatDecimal(static_cast<int64_t>(t.rowCount)) : u"?";
        out += u'\t';
        out += platform::FormatDecimal(static_cast<int64_t>(t.columns.size()));
        out += u'\t';
        out += DataKindName(t.dataKind);
        out += u'\n';
    }
    PrintOut(out);
}

}  // namespace

int RunInfoCommand(const std::vector<std::string>& args) {
    bool tsv = false;
    std::string path;
    for (const std::string& arg : args) {
        if (arg == "--tsv") {
            tsv = true;
        } else if (path.empty() && (arg.empty() || arg[0] != '-' || arg == "-")) {
            path = arg;
        } else {
            path.clear();
            break;
        }
    }
    if (path.empty()) {
        PrintErrUtf8("usage: kalvex-cli info [--tsv] DUMP\n");
        return kExitUsage;
    }

    std::u16string error;
    std::unique_ptr<IDumpFile> dump;
    {
        CCliJobContext job;
        dump = OpenScannedDump(path, job, error);
    }
    if (!dump) {
        PrintErr(error + u"\n");
        return kExitFailure;
    }
    if (tsv) {
        PrintTsv(*dump, dump->GetTables());
    } else {
        PrintHuman(*dump, dump->GetTables());
    }
    return kExitOk;
}
