#include "app/DumpSession.h"
#include "cli/CliArgs.h"
#include "cli/CliDump.h"
#include "cli/CliJob.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "export/ExportText.h"
#include "platform/Utf8.h"

namespace {

// The DDL keeps CR LF between statements; a terminal and a pipe want plain line feeds.
std::u16string ToLf(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c != u'\r') out += c;
    }
    return out;
}

}  // namespace

int RunDdlCommand(const std::vector<std::string>& args) {
    CCliArgs parsed({"--database"}, {});
    const size_t count = parsed.Parse(args) ? parsed.Positional().size() : 0;
    if (count != 1 && count != 2) {
        return UsageError(parsed.Error(), "usage: kalvex-cli ddl DUMP [TABLE] [--database NAME]\n");
    }
    CCliJobContext job;
    std::u16string error;
    CDumpSession session;
    const bool opened = OpenDumpForTables(session, parsed.Positional()[0], job, error);
    job.EndProgress();
    if (!opened) {
        PrintErr(error + u"\n");
        return kExitFailure;
    }
    const std::string* database = parsed.Value("--database");
    // A misspelt name must not pass for a database without objects.
    if (database != nullptr && !session.CheckDatabase(platform::Utf8ToUtf16(*database), error)) {
        PrintErr(error + u"\n");
        return kExitFailure;
    }
    std::u16string text;
    if (count == 2) {
        const ptrdiff_t index = FindTableArgument(session, parsed.Positional()[1], database, error);
        if (index < 0) {
            PrintErr(error + u"\n");
            return kExitFailure;
        }
        text = session.GetDump()->GetTables()[static_cast<size_t>(index)].ddl;
    } else {
        const IDumpFile* dump = session.GetDump();
        const DumpInfo& info = dump->GetInfo();
        // Without --database a whole-cluster dump shows every database's objects.
        const bool oneDatabase = info.isCluster && database != nullptr;
        text = BuildWholeDumpDdl(dump->GetDdlObjects(), oneDatabase,
                                 database != nullptr ? platform::Utf8ToUtf16(*database) : u"");
    }
    PrintOut(ToLf(text));
    return kExitOk;
}
