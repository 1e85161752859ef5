#include "ui/QtTranslations.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QLocale>
#include <QScrollBar>
#include <QStyle>
#include <QTranslator>
#include <QTreeView>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

QTranslator* InstallQtTranslations(QCoreApplication& app) {
    // Parented to the application, so it lives exactly as long as the texts it supplies.
    auto* translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(u"qtbase_ja"_s, folder)) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    // Dates and sizes in the file dialogs follow the interface language too.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    return translator;
}

void FitFileDialogColumns(QFileDialog& dialog) {
    auto* view = dialog.findChild<QTreeView*>(u"treeView"_s);
    if (view == nullptr) return;
    QHeaderView* header = view->header();
    const QFontMetrics text(view->font());
    const QFontMetrics headerText(header->font());
    // The widest date the view can show: two-digit month, day and hour.
    const QString date = view->locale().toString(QDateTime(QDate(2026, 12, 28), QTime(23, 58)),
                                                 QLocale::ShortFormat);
    const int padding = 4 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    int total = 0;
    for (int column = 0; column < header->count(); ++column) {
        const QString label = view->model() != nullptr
                                  ? view->model()->headerData(column, Qt::Horizontal).toString()
                                  : QString();
        int width = headerText.horizontalAdvance(label) + padding + 16;  // room for the sort arrow
        if (column == 3) width = std::max(width, text.horizontalAdvance(date) + padding);
        if (header->sectionSize(column) < width) header->resizeSection(column, width);
        total += header->isSectionHidden(column) ? 0 : header->sectionSize(column);
    }
    // The view shares the dialog with the side bar; grow the dialog by what the columns lack.
    const int lacking = total + view->verticalScrollBar()->sizeHint().width() +
                        2 * view->frameWidth() - view->viewport()->width();
    // Only a shown dialog has its final layout to measure against.
    if (lacking > 0 && view->isVisible()) dialog.resize(dialog.width() + lacking, dialog.height());
}
