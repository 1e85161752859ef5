#pragma once

#include <QString>

class QWidget;

enum class PromptIcon { Warning, Information, Question };

// What an open or save dialog is asked to show.
struct FileDialogRequest {
    QString title;
    // Pairs of description and patterns, Windows style: "CSVファイル (*.csv)|*.csv|...||".
    QString filter;
    QString initialDir;     // empty: the dialog's own choice
    QString fileName;       // initial file name (save dialogs)
    QString defaultSuffix;  // without the dot; empty for none
};

// Every modal prompt of the program goes through this interface, so that tests can answer
// them from a script and nothing modal blocks a test run. Prompts are shown on the
// user-interface thread only.
class IPrompt {
public:
    virtual ~IPrompt() = default;
    // A message box titled "Kalvex" with an OK button.
    virtual void ShowMessage(QWidget* parent, const QString& text, PromptIcon icon) = 0;
    // A Yes/No message box with the question icon; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
    // The chosen path of an existing file, or an empty string when cancelled.
    virtual QString GetOpenFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // The chosen path to write (overwriting confirmed), or an empty string when cancelled.
    virtual QString GetSaveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // A one-line input box titled "Kalvex" under prompt, starting with text; true with the
    // typed text on OK, false when cancelled.
    virtual bool AskText(QWidget* parent, const QString& prompt, QString& text) = 0;
};

// The prompt the program's windows use. The application installs the real one at start and
// owns it; tests install a scripted one. Without any installed prompt the real one is used.
IPrompt& CurrentPrompt();

// Installs a prompt for the lifetime of this object, then restores the previous one.
class CPromptScope {
public:
    explicit CPromptScope(IPrompt& prompt);
    ~CPromptScope();
    CPromptScope(const CPromptScope&) = delete;
    CPromptScope& operator=(const CPromptScope&) = delete;

private:
    IPrompt* m_previous;
};
