#include <cstdio>
#include <cstring>
#include <string>

#include "app/VersionText.h"
#include "platform/ExitCleanup.h"
#include "platform/TempFiles.h"
#include "ui/KalvexApp.h"

int main(int argc, char** argv) {
    // Answered before Qt starts, so that it works without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        const std::string text = VersionText("kalvex");
        return std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
    }
    // Spool files can be as large as a table: they must go however the window ends,
    // including the desktop session ending under it.
    InstallExitCleanup();
    RemoveStaleTempFiles();
    CKalvexApp app(argc, argv);
    return app.Run();
}
