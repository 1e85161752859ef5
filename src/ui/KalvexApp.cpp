#include "ui/KalvexApp.h"

#include "app/ProgramVersion.h"
#include "platform/TempFiles.h"
#include "ui/KalvexDlg.h"
#include "ui/ProgramIcon.h"
#include "ui/QtPrompt.h"
#include "ui/QtText.h"
#include "ui/QtTranslations.h"

CKalvexApp::CKalvexApp(int& argc, char** argv)
    : QApplication(argc, argv),
      m_prompt(std::make_unique<CQtPrompt>()),
      m_promptScope(std::make_unique<CPromptScope>(*m_prompt)) {
    setApplicationName(QStringLiteral("Kalvex"));
    setApplicationVersion(ToQString(kProgramVersion));
    InstallQtTranslations(*this);
    // Every window, message box and the taskbar show the program's own icon.
    setWindowIcon(ProgramIcon());
    // The first argument is the dump to open; any further ones are ignored.
    const QStringList args = arguments();
    if (args.size() >= 2) m_initialFile = FromQString(args.at(1));
}

CKalvexApp::~CKalvexApp() {
    m_promptScope.reset();
    // Spool files of tables still loaded were deleted with their stores; this catches the
    // rest, such as the expanded copy of a gzip script.
    DeleteTempFiles();
}

int CKalvexApp::Run() {
    CKalvexDlg window;
    window.SetInitialFile(m_initialFile);
    window.show();
    window.exec();
    return 0;
}
