#pragma once

class QCoreApplication;
class QFileDialog;
class QTranslator;

// Loads Qt's own Japanese texts (file dialogs, context menus, standard buttons) whatever
// the process's locale: the whole window is Japanese, so Qt's parts must be too. The
// translator belongs to app; null when the translation file is not installed, and Qt then
// stays English.
QTranslator* InstallQtTranslations(QCoreApplication& app);

// Widens the columns of a Qt-drawn file dialog's detail view, and the dialog with them, so
// that no header or date is cut at the default size: Qt sizes them for English texts.
void FitFileDialogColumns(QFileDialog& dialog);
