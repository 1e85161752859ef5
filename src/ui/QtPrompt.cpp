#include "ui/QtPrompt.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "ui/QtTranslations.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kTitle = u"Kalvex"_s;

QMessageBox::Icon ToQtIcon(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Warning:
            return QMessageBox::Warning;
        case PromptIcon::Information:
            return QMessageBox::Information;
        case PromptIcon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString RunFileDialog(QWidget* parent, const FileDialogRequest& request, bool save) {
    QFileDialog dialog(parent, request.title, request.initialDir);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = ToQtNameFilters(request.filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!request.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    // Measured once the dialog is on screen and laid out.
    QTimer::singleShot(0, &dialog, [&dialog] { FitFileDialogColumns(dialog); });
    if (dialog.exec() != QDialog::Accepted) return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.front();
}

}  // namespace

void CQtPrompt::ShowMessage(QWidget* parent, const QString& text, PromptIcon icon) {
    QMessageBox box(ToQtIcon(icon), kTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

bool CQtPrompt::AskYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, kTitle, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    // Qt ships no Japanese button texts on this system; the rest of the window is Japanese.
    box.button(QMessageBox::Yes)->setText(u"はい(&Y)"_s);
    box.button(QMessageBox::No)->setText(u"いいえ(&N)"_s);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

QString CQtPrompt::GetOpenFileName(QWidget* parent, const FileDialogRequest& request) {
    return RunFileDialog(parent, request, false);
}

QString CQtPrompt::GetSaveFileName(QWidget* parent, const FileDialogRequest& request) {
    return RunFileDialog(parent, request, true);
}

bool CQtPrompt::AskText(QWidget* parent, const QString& prompt, QString& text) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(kTitle);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setLabelText(prompt);
    dialog.setTextValue(text);
    dialog.setOkButtonText(u"OK"_s);
    dialog.setCancelButtonText(u"キャンセル"_s);
    if (dialog.exec() != QDialog::Accepted) return false;
    text = dialog.textValue();
    return true;
}

QStringList ToQtNameFilters(const QString& windowsFilter) {
    QStringList parts = windowsFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString& patterns = parts[i + 1];
        if (description.isEmpty() || patterns.isEmpty()) break;
        QString spaced = patterns;
        spaced.replace(u';', u' ');
        const QString suffix = u'(' + patterns + u')';
        if (description.endsWith(suffix)) {
            filters.append(description.left(description.size() - suffix.size()) + u'(' + spaced +
                           u')');
        } else {
            filters.append(description + u" ("_s + spaced + u')');
        }
    }
    return filters;
}
