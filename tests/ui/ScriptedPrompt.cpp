#include "ScriptedPrompt.h"

#include <gtest/gtest.h>

namespace {

const char* KindName(CScriptedPrompt::Kind kind) {
    switch (kind) {
        case CScriptedPrompt::Kind::Message:
            return "message box";
        case CScriptedPrompt::Kind::YesNo:
            return "Yes/No question";
        case CScriptedPrompt::Kind::OpenFile:
            return "open-file dialog";
        case CScriptedPrompt::Kind::SaveFile:
            return "save-file dialog";
        case CScriptedPrompt::Kind::Text:
            return "input box";
    }
    return "?";
}

const char* IconName(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Warning:
            return "warning";
        case PromptIcon::Information:
            return "information";
        case PromptIcon::Question:
            return "question";
    }
    return "?";
}

}  // namespace

CScriptedPrompt::CScriptedPrompt() : m_scope(*this) {}

CScriptedPrompt::~CScriptedPrompt() {
    for (const Expected& e : m_expected) {
        ADD_FAILURE() << "expected " << KindName(e.kind) << " was never shown: "
                      << (e.text ? e.text->toStdString() : std::string("(any text)"));
    }
}

CScriptedPrompt& CScriptedPrompt::ExpectMessage(std::optional<QString> text, PromptIcon icon,
                                                std::function<void()> during) {
    m_expected.push_back({Kind::Message, std::move(text), icon, false, {}, std::move(during)});
    return *this;
}

CScriptedPrompt& CScriptedPrompt::ExpectYesNo(std::optional<QString> text, bool answer,
                                              std::function<void()> during) {
    m_expected.push_back(
        {Kind::YesNo, std::move(text), PromptIcon::Question, answer, {}, std::move(during)});
    return *this;
}

CScriptedPrompt& CScriptedPrompt::ExpectOpenFile(const QString& answer) {
    m_expected.push_back(
        {Kind::OpenFile, std::nullopt, PromptIcon::Information, false, answer, {}});
    return *this;
}

CScriptedPrompt& CScriptedPrompt::ExpectSaveFile(const QString& answer) {
    m_expected.push_back(
        {Kind::SaveFile, std::nullopt, PromptIcon::Information, false, answer, {}});
    return *this;
}

CScriptedPrompt& CScriptedPrompt::ExpectText(std::optional<QString> prompt,
                                             std::optional<QString> answer) {
    Expected e{Kind::Text, std::move(prompt), PromptIcon::Information, false, {}, {}};
    e.path = answer.value_or(QString());
    e.yes = answer.has_value();
    m_expected.push_back(std::move(e));
    return *this;
}

std::optional<CScriptedPrompt::Expected> CScriptedPrompt::Take(const Seen& seen) {
    m_history.push_back(seen);
    const std::string shown = seen.text.toStdString();
    if (m_expected.empty()) {
        ADD_FAILURE() << "unexpected " << KindName(seen.kind) << ": " << shown;
        return std::nullopt;
    }
    Expected e = std::move(m_expected.front());
    m_expected.pop_front();
    if (e.kind != seen.kind) {
        ADD_FAILURE() << "expected " << KindName(e.kind) << " but got " << KindName(seen.kind)
                      << ": " << shown;
        return std::nullopt;
    }
    if (e.text && *e.text != seen.text) {
        ADD_FAILURE() << KindName(seen.kind) << " text\n  expected: " << e.text->toStdString()
                      << "\n  actual:   " << shown;
    }
    if (seen.kind == Kind::Message && e.icon != seen.icon) {
        ADD_FAILURE() << "message box icon: expected " << IconName(e.icon) << ", got "
                      << IconName(seen.icon) << ": " << shown;
    }
    if (e.during) e.during();
    return e;
}

void CScriptedPrompt::ShowMessage(QWidget*, const QString& text, PromptIcon icon) {
    Take({Kind::Message, text, icon, {}});
}

bool CScriptedPrompt::AskYesNo(QWidget*, const QString& text) {
    const auto e = Take({Kind::YesNo, text, PromptIcon::Question, {}});
    return e && e->yes;
}

QString CScriptedPrompt::GetOpenFileName(QWidget*, const FileDialogRequest& request) {
    const auto e = Take({Kind::OpenFile, request.title, PromptIcon::Information, request});
    return e ? e->path : QString();
}

QString CScriptedPrompt::GetSaveFileName(QWidget*, const FileDialogRequest& request) {
    const auto e = Take({Kind::SaveFile, request.title, PromptIcon::Information, request});
    return e ? e->path : QString();
}

bool CScriptedPrompt::AskText(QWidget*, const QString& prompt, QString& text) {
    FileDialogRequest shown;
    shown.fileName = text;
    const auto e = Take({Kind::Text, prompt, PromptIcon::Information, shown});
    if (!e || !e->yes) return false;
    text = e->path;
    return true;
}
