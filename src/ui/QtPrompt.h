#pragma once

#include <QStringList>

#include "ui/Prompt.h"

// The real prompts: QMessageBox and QFileDialog.
class CQtPrompt : public IPrompt {
public:
    void ShowMessage(QWidget* parent, const QString& text, PromptIcon icon) override;
    bool AskYesNo(QWidget* parent, const QString& text) override;
    QString GetOpenFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString GetSaveFileName(QWidget* parent, const FileDialogRequest& request) override;
    bool AskText(QWidget* parent, const QString& prompt, QString& text) override;
};

// "desc (*.a;*.b)|*.a;*.b|all (*.*)|*.*||" -> Qt name filters. Qt reads the patterns from
// the description's parentheses, separated by spaces, so the semicolons become spaces there.
QStringList ToQtNameFilters(const QString& windowsFilter);
