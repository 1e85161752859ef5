#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "ui/Prompt.h"

// A prompt for tests: answers from a queue of expected prompts, records every prompt it
// saw and fails the running test on a prompt nobody expected or on expectations left over.
// It installs itself as the current prompt for its lifetime.
class CScriptedPrompt : public IPrompt {
public:
    enum class Kind { Message, YesNo, OpenFile, SaveFile, Text };

    struct Seen {
        Kind kind;
        QString text;  // the message, or the file dialog's title
        PromptIcon icon = PromptIcon::Information;
        FileDialogRequest request;
    };

    CScriptedPrompt();
    ~CScriptedPrompt() override;

    // A message box with exactly this text and icon (any text when text is nullopt).
    // during runs while the prompt is "open", before it is answered.
    CScriptedPrompt& ExpectMessage(std::optional<QString> text, PromptIcon icon,
                                   std::function<void()> during = {});
    CScriptedPrompt& ExpectYesNo(std::optional<QString> text, bool answer,
                                 std::function<void()> during = {});
    // answer is the chosen path; an empty one cancels the dialog.
    CScriptedPrompt& ExpectOpenFile(const QString& answer);
    CScriptedPrompt& ExpectSaveFile(const QString& answer);
    // An input box under this prompt (any when nullopt); answer is what is typed, nullopt
    // cancels it. The text the box started with is recorded in Seen::request.fileName.
    CScriptedPrompt& ExpectText(std::optional<QString> prompt, std::optional<QString> answer);

    const std::vector<Seen>& History() const { return m_history; }
    size_t Remaining() const { return m_expected.size(); }

    void ShowMessage(QWidget* parent, const QString& text, PromptIcon icon) override;
    bool AskYesNo(QWidget* parent, const QString& text) override;
    QString GetOpenFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString GetSaveFileName(QWidget* parent, const FileDialogRequest& request) override;
    bool AskText(QWidget* parent, const QString& prompt, QString& text) override;

private:
    struct Expected {
        Kind kind;
        std::optional<QString> text;
        PromptIcon icon = PromptIcon::Information;
        bool yes = false;  // Yes for a question; typed (not cancelled) for an input box
        QString path;
        std::function<void()> during;
    };

    // The expectation that answers this prompt, or nullopt after reporting a failure.
    std::optional<Expected> Take(const Seen& seen);

    std::deque<Expected> m_expected;
    std::vector<Seen> m_history;
    CPromptScope m_scope;
};
