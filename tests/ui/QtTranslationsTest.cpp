// Qt's own texts (file dialogs, edit-box menus, standard buttons) in Japanese, and file
// dialog columns wide enough for them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTranslator>
#include <QTreeView>
#include <memory>

#include "UiTestUtil.h"
#include "ui/QtTranslations.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// Installs the translations for one test and takes them away again, so that the other
// tests of this process see Qt as they always do.
class QtTranslationsTest : public testing::Test {
protected:
    void SetUp() override {
        m_locale = QLocale();
        m_translator = InstallQtTranslations(*qApp);
        ASSERT_NE(m_translator, nullptr) << "qtbase_ja.qm is missing (qt6-translations-l10n)";
    }
    void TearDown() override {
        if (m_translator != nullptr) {
            QCoreApplication::removeTranslator(m_translator);
            delete m_translator;
        }
        QLocale::setDefault(m_locale);
    }

    QLocale m_locale;
    QTranslator* m_translator = nullptr;
};

// Without the mnemonic and the shortcut, as a menu shows them.
QString Plain(QString text) {
    text.remove(u'&');
    return text.section(u'\t', 0, 0);
}

bool HasJapanese(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() >= 0x3000) return true;
    }
    return false;
}

TEST_F(QtTranslationsTest, SaveDialogSpeaksJapaneseAndFitsItsColumns) {
    QFileDialog dialog(nullptr, u"保存"_s, QString::fromUtf8(KALVEX_FIXTURES_DIR));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.show();
    QApplication::processEvents();
    FitFileDialogColumns(dialog);
    QApplication::processEvents();

    struct LabelCase {
        const char* objectName;
        const char* english;
    };
    for (const LabelCase& c :
         {LabelCase{"lookInLabel", "Look in:"}, LabelCase{"fileNameLabel", "File name:"},
          LabelCase{"fileTypeLabel", "Files of type:"}}) {
        auto* label = dialog.findChild<QLabel*>(QString::fromUtf8(c.objectName));
        ASSERT_NE(label, nullptr) << c.objectName;
        EXPECT_NE(Plain(label->text()), QString::fromUtf8(c.english)) << c.objectName;
        EXPECT_TRUE(HasJapanese(label->text())) << label->text().toStdString();
    }
    auto* buttons = dialog.findChild<QDialogButtonBox*>(u"buttonBox"_s);
    ASSERT_NE(buttons, nullptr);
    for (QAbstractButton* button : buttons->buttons()) {
        EXPECT_TRUE(HasJapanese(button->text())) << button->text().toStdString();
    }

    auto* view = dialog.findChild<QTreeView*>(u"treeView"_s);
    ASSERT_NE(view, nullptr);
    QHeaderView* header = view->header();
    const QFontMetrics metrics(header->font());
    const char* english[] = {"Name", "Size", "Type", "Date Modified"};
    ASSERT_GE(header->count(), 4);
    int total = 0;
    for (int column = 0; column < 4; ++column) {
        const QString label = view->model()->headerData(column, Qt::Horizontal).toString();
        EXPECT_NE(label, QString::fromUtf8(english[column]));
        EXPECT_TRUE(HasJapanese(label)) << label.toStdString();
        EXPECT_GT(header->sectionSize(column), metrics.horizontalAdvance(label)) << column;
        total += header->sectionSize(column);
    }
    const QString date = view->locale().toString(QDateTime(QDate(2026, 12, 28), QTime(23, 58)),
                                                 QLocale::ShortFormat);
    EXPECT_GT(header->sectionSize(3), QFontMetrics(view->font()).horizontalAdvance(date));
    EXPECT_LE(total, view->viewport()->width());
}

TEST_F(QtTranslationsTest, EditBoxMenuAndStandardButtonsSpeakJapanese) {
    QLineEdit edit;
    edit.setText(u"abc"_s);
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList shown;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) shown.append(Plain(action->text()));
    }
    ASSERT_GE(shown.size(), 7);
    for (const char* english : {"Undo", "Redo", "Cut", "Copy", "Paste", "Delete", "Select All"}) {
        EXPECT_FALSE(shown.contains(QString::fromUtf8(english))) << english;
    }
    for (const QString& text : shown) EXPECT_TRUE(HasJapanese(text)) << text.toStdString();

    QDialogButtonBox box(QDialogButtonBox::Save | QDialogButtonBox::Cancel |
                         QDialogButtonBox::Open);
    for (QAbstractButton* button : box.buttons()) {
        EXPECT_TRUE(HasJapanese(button->text())) << button->text().toStdString();
    }
}

}  // namespace
