#include <algorithm>
#include <string>
#include <vector>

#include "app/AppText.h"
#include "app/DumpSession.h"
#include "cli/CliArgs.h"
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

// Terminal columns a text takes: East Asian wide and full-width characters take two.
size_t DisplayWidth(const std::u16string& text) {
    size_t width = 0;
    for (char16_t c : text) {
        if (c >= 0xDC00 && c <= 0xDFFF) continue;  // the second half of a pair
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                          (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                          (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                          (c >= 0xFFE0 && c <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
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
    // A table of aligned columns: name, rows, columns, data kind.
    std::vector<std::u16string> names, counts;
    size_t nameWidth = DisplayWidth(u"table"), countWidth = DisplayWidth(u"rows");
    for (const TableEntry& t : tables) {
        names.push_back(info.isCluster ? t.database + u": " + t.QualifiedName()
                                       : t.QualifiedName());
        counts.push_back(t.rowCountKnown ? FormatThousands(t.rowCount) : u"?");
        nameWidth = std::max(nameWidth, DisplayWidth(names.back()));
        countWidth = std::max(countWidth, DisplayWidth(counts.back()));
    }
    auto line = [&out, nameWidth, countWidth](
                    const std::u16string& name, const std::u16string& count,
                    const std::u16string& columns, const std::u16string& kind) {
        out += name + std::u16string(nameWidth - DisplayWidth(name) + 2, u' ');
        out += std::u16string(countWidth - DisplayWidth(count), u' ') + count;
        out += std::u16string(columns.size() < 7 ? 9 - columns.size() : 2, u' ') + columns;
        out += u"  " + kind + u'\n';
    };
    line(u"table", u"rows", u"columns", u"data");
    for (size_t i = 0; i < tables.size(); ++i) {
        line(names[i], counts[i],
             platform::FormatDecimal(static_cast<int64_t>(tables[i].columns.size())),
             DataKindName(tables[i].dataKind));
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
    CCliArgs parsed({}, {"--tsv"});
    const bool parsedOk = parsed.Parse(args);
    if (!parsedOk || parsed.Positional().size() != 1 || parsed.Positional()[0].empty()) {
        return UsageError(parsed.Error(), "usage: kalvex-cli info [--tsv] DUMP\n");
    }
    const bool tsv = parsed.Has("--tsv");
    const std::string& path = parsed.Positional()[0];

    std::u16string error;
    std::unique_ptr<IDumpFile> dump;
    {
        CCliJobContext job;
        dump = CDumpSession::OpenDump(DumpPathArgument(path), true, &job, error);
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
