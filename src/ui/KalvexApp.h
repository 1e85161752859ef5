#pragma once

#include <QApplication>
#include <memory>
#include <string>

class CPromptScope;
class CQtPrompt;

// The application: takes the optional dump path from the command line, runs the main
// window until it closes and then removes this process's temporary files.
class CKalvexApp : public QApplication {
public:
    CKalvexApp(int& argc, char** argv);
    ~CKalvexApp() override;

    // Runs the main window; the program's exit code.
    int Run();

private:
    std::unique_ptr<CQtPrompt> m_prompt;
    std::unique_ptr<CPromptScope> m_promptScope;
    std::u16string m_initialFile;
};
