#include "platform/ExitCleanup.h"
#include "platform/TempFiles.h"
#include "ui/KalvexApp.h"

int main(int argc, char** argv) {
    // Spool files can be as large as a table: they must go however the window ends,
    // including the desktop session ending under it.
    InstallExitCleanup();
    RemoveStaleTempFiles();
    CKalvexApp app(argc, argv);
    return app.Run();
}
