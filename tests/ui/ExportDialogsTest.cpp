// The CSV export, DDL and About dialogs on their own.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextDocument>

#include "ScriptedPrompt.h"
#include "UiTestUtil.h"
#include "support/TestPaths.h"
#include "ui/AboutDlg.h"
#include "ui/CsvExportDlg.h"
#include "ui/DdlDlg.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

namespace {

bool Checked(QWidget* dialog, const char* id) {
    return Child<QAbstractButton>(dialog, id)->isChecked();
}

bool Enabled(QWidget* dialog, const char* id) {
    return Child<QWidget>(dialog, id)->isEnabled();
}

}  // namespace

TEST(CsvExportDlgTest, OpensFromTheOptionsAndTheWindowsState) {
    struct Case {
        CsvOptions options;
        bool filter, columns;
        // Checked: scope radio, delimiter radio, encoding radio.
        const char *scope, *delimiter, *encoding;
    };
    const Case cases[] = {
        {CsvOptions{}, false, false, "1158", "1150", "1155"},
        {CsvOptions{u'\t', false, true, u"SJIS", u"NULL"}, true, true, "1159", "1151", "1154"},
        {CsvOptions{u',', true, false, u"UTF8", u" "}, false, true, "1158", "1150", "1156"},
        {CsvOptions{u';', true, false, u"utf8", u""}, true, false, "1159", "1150", "1155"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.options.encoding));
        CsvOptions options = c.options;
        CCsvExportDlg dlg(nullptr, u"public.t  (1,234 行、絞り込み 56 行)", &options, c.filter,
                          c.columns);
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        EXPECT_EQ(dlg.windowTitle(), u"Kalvex CSV出力"_s);
        EXPECT_EQ(Child<QLabel>(&dlg, "1161")->text(), u"public.t  (1,234 行、絞り込み 56 行)"_s);
        EXPECT_EQ(Enabled(&dlg, "1159"), c.filter);
        EXPECT_TRUE(Enabled(&dlg, "1158"));
        EXPECT_TRUE(Enabled(&dlg, "1160"));
        EXPECT_EQ(Enabled(&dlg, "1162"), c.columns);
        EXPECT_EQ(Checked(&dlg, "1162"), c.columns);
        for (const char* id : {"1158", "1159", "1160"}) {
            EXPECT_EQ(Checked(&dlg, id), std::string(id) == c.scope) << id;
        }
        for (const char* id : {"1150", "1151"}) {
            EXPECT_EQ(Checked(&dlg, id), std::string(id) == c.delimiter) << id;
        }
        for (const char* id : {"1154", "1155", "1156"}) {
            EXPECT_EQ(Checked(&dlg, id), std::string(id) == c.encoding) << id;
        }
        EXPECT_EQ(Checked(&dlg, "1152"), c.options.header);
        EXPECT_EQ(Checked(&dlg, "1153"), c.options.quoteAll);
        EXPECT_EQ(Child<QLineEdit>(&dlg, "1157")->text(), ToQString(c.options.nullText));
        dlg.reject();
        // Cancel leaves the options alone.
        EXPECT_EQ(options.encoding, c.options.encoding);
        EXPECT_EQ(options.delimiter, c.options.delimiter);
    }
}

TEST(CsvExportDlgTest, ExportTakesTheChoiceAndCancelChangesNothing) {
    CsvOptions options;
    {
        CCsvExportDlg dlg(nullptr, u"x", &options, true, true);
        dlg.show();
        Child<QRadioButton>(&dlg, "1160")->click();
        Child<QCheckBox>(&dlg, "1162")->setChecked(false);
        Child<QRadioButton>(&dlg, "1151")->click();
        Child<QRadioButton>(&dlg, "1154")->click();
        Child<QCheckBox>(&dlg, "1152")->setChecked(false);
        Child<QCheckBox>(&dlg, "1153")->setChecked(true);
        Child<QLineEdit>(&dlg, "1157")->setText(u" (null) "_s);
        // The scope radios and the format radios are separate groups.
        EXPECT_TRUE(Checked(&dlg, "1160"));
        EXPECT_TRUE(Checked(&dlg, "1151"));
        EXPECT_EQ(Child<QPushButton>(&dlg, "1")->text(), u"出力..."_s);
        EXPECT_EQ(Child<QPushButton>(&dlg, "2")->text(), u"キャンセル"_s);
        Child<QPushButton>(&dlg, "1")->click();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(dlg.Scope(), CsvScope_CurrentPage);
        EXPECT_FALSE(dlg.VisibleOnly());
    }
    EXPECT_EQ(options.delimiter, u'\t');
    EXPECT_EQ(options.encoding, u"SJIS");
    EXPECT_FALSE(options.header);
    EXPECT_TRUE(options.quoteAll);
    EXPECT_EQ(options.nullText, u" (null) ");  // as typed, not trimmed

    {
        CCsvExportDlg dlg(nullptr, u"x", &options, true, true);
        dlg.show();
        EXPECT_TRUE(Checked(&dlg, "1159"));
        Child<QRadioButton>(&dlg, "1156")->click();
        Child<QRadioButton>(&dlg, "1150")->click();
        Child<QPushButton>(&dlg, "2")->click();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    EXPECT_EQ(options.encoding, u"SJIS");
    EXPECT_EQ(options.delimiter, u'\t');

    {
        // Filtered rows and visible columns only, the two choices the window offers.
        CCsvExportDlg dlg(nullptr, u"x", &options, true, true);
        dlg.show();
        Child<QRadioButton>(&dlg, "1155")->click();
        Child<QPushButton>(&dlg, "1")->click();
        EXPECT_EQ(dlg.Scope(), CsvScope_FilteredRows);
        EXPECT_TRUE(dlg.VisibleOnly());
        EXPECT_EQ(options.encoding, u"UTF8BOM");
    }
    {
        CCsvExportDlg dlg(nullptr, u"x", &options, false, false);
        dlg.show();
        Child<QPushButton>(&dlg, "1")->click();
        EXPECT_EQ(dlg.Scope(), CsvScope_AllRows);
        EXPECT_FALSE(dlg.VisibleOnly());
    }
}

TEST(DdlDlgTest, ShowsTheTableOrTheWholeDumpAndCopiesAllOfIt) {
    const std::u16string table =
        u"CREATE TABLE public.orders (\n    id integer\n);\r\n\r\n"
        u"COMMENT ON TABLE public.orders IS '注文';\n";
    const std::u16string whole = u"CREATE SCHEMA s;\r\n\r\n" + table + u"\r\n\r\n";
    CDdlDlg dlg(nullptr, u"public.orders", table, whole);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(dlg.windowTitle(), u"Kalvex DDL - public.orders"_s);
    EXPECT_EQ(Child<QRadioButton>(&dlg, "1111")->text(), u"選択中のテーブル"_s);
    EXPECT_EQ(Child<QRadioButton>(&dlg, "1112")->text(), u"ダンプ全体の DDL"_s);
    EXPECT_EQ(Child<QPushButton>(&dlg, "1113")->text(), u"コピー"_s);
    EXPECT_EQ(Child<QPushButton>(&dlg, "1114")->text(), u"保存..."_s);
    EXPECT_EQ(Child<QPushButton>(&dlg, "1")->text(), u"閉じる"_s);
    auto* edit = Child<QPlainTextEdit>(&dlg, "1110");
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_EQ(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
    // Columns of DDL line up: narrow and wide Latin letters take the same width.
    const QFontMetrics metrics(edit->font());
    EXPECT_EQ(metrics.horizontalAdvance(u'i'), metrics.horizontalAdvance(u'M'));
    EXPECT_EQ(edit->font().pixelSize(), 13);

    // LF and CR LF both become one CR LF, never CR CR LF.
    const std::u16string tableCrLf =
        u"CREATE TABLE public.orders (\r\n    id integer\r\n);\r\n\r\n"
        u"COMMENT ON TABLE public.orders IS '注文';\r\n";
    EXPECT_TRUE(Enabled(&dlg, "1111"));
    EXPECT_TRUE(Checked(&dlg, "1111"));
    EXPECT_EQ(dlg.ShownText(), tableCrLf);
    EXPECT_EQ(edit->toPlainText().remove(u'\r'), ToQString(tableCrLf).remove(u'\r'));
    EXPECT_EQ(edit->document()->blockCount(), 6);
    EXPECT_EQ(dlg.DefaultFileName(), u"public.orders.sql");

    Child<QRadioButton>(&dlg, "1112")->click();
    const std::u16string wholeCrLf = u"CREATE SCHEMA s;\r\n\r\n" + tableCrLf + u"\r\n\r\n";
    EXPECT_EQ(dlg.ShownText(), wholeCrLf);
    EXPECT_TRUE(edit->toPlainText().startsWith(u"CREATE SCHEMA s;"_s));
    EXPECT_EQ(dlg.DefaultFileName(), u"ddl_all.sql");
    // The copy holds the whole text, whatever part of it is selected or in sight.
    edit->selectAll();
    edit->moveCursor(QTextCursor::Start);
    QGuiApplication::clipboard()->clear();
    Child<QPushButton>(&dlg, "1113")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), ToQString(wholeCrLf));
    EXPECT_TRUE(dlg.isVisible());

    Child<QRadioButton>(&dlg, "1111")->click();
    EXPECT_EQ(dlg.ShownText(), tableCrLf);
    Child<QPushButton>(&dlg, "1113")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), ToQString(tableCrLf));

    // The edit box follows the window; copy and save the bottom edge; close the corner.
    auto* copy = Child<QPushButton>(&dlg, "1113");
    auto* close = Child<QPushButton>(&dlg, "1");
    const QRect editBefore = edit->geometry(), copyBefore = copy->geometry(),
                closeBefore = close->geometry();
    dlg.resize(dlg.size() + QSize(120, 90));
    QApplication::processEvents();
    EXPECT_EQ(edit->geometry().size(), editBefore.size() + QSize(120, 90));
    EXPECT_EQ(edit->geometry().topLeft(), editBefore.topLeft());
    EXPECT_EQ(copy->geometry(), copyBefore.translated(0, 90));
    EXPECT_EQ(close->geometry(), closeBefore.translated(120, 90));
}

TEST(DdlDlgTest, WithoutTableDdlOnlyTheWholeDumpIsOffered) {
    struct Case {
        std::u16string name, tableDdl;
        QString title;
    };
    const Case cases[] = {{u"", u"", u"Kalvex DDL"_s},
                          {u"public.empty", u"", u"Kalvex DDL - public.empty"_s}};
    for (const Case& c : cases) {
        CDdlDlg dlg(nullptr, c.name, c.tableDdl, u"");
        dlg.show();
        EXPECT_EQ(dlg.windowTitle(), c.title);
        EXPECT_FALSE(Enabled(&dlg, "1111"));
        EXPECT_TRUE(Checked(&dlg, "1112"));
        EXPECT_TRUE(Child<QPlainTextEdit>(&dlg, "1110")->toPlainText().isEmpty());
        EXPECT_EQ(dlg.DefaultFileName(), u"ddl_all.sql");
    }
}

TEST(DdlDlgTest, SavesUtf8WithBomAndCrLfUnderASafeName) {
    ScratchDir scratch;
    CScriptedPrompt prompt;
    struct Case {
        std::u16string name;
        bool whole;
        std::u16string proposed;
    };
    const Case cases[] = {
        {u"public.orders", false, u"public.orders.sql"},
        {u"a:b/c\\d*e?f\"g<h>i|j.k", false, u"a_b_c_d_e_f_g_h_i_j.k.sql"},
        {u"", false, u"ddl.sql"},
        {u"public.orders", true, u"ddl_all.sql"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.name));
        CDdlDlg dlg(nullptr, c.name, u"CREATE TABLE 表 (\n列 text);", u"-- 全体\nSELECT 1;\n");
        dlg.show();
        if (c.whole) Child<QRadioButton>(&dlg, "1112")->click();
        const std::string path = scratch.File("out.sql");
        prompt.ExpectSaveFile(QString::fromStdString(path));
        Child<QPushButton>(&dlg, "1114")->click();
        const CScriptedPrompt::Seen& seen = prompt.History().back();
        EXPECT_EQ(seen.text, u"Kalvex DDLファイル"_s);
        EXPECT_EQ(seen.request.fileName, ToQString(c.proposed));
        EXPECT_EQ(seen.request.defaultSuffix, u"sql"_s);
        EXPECT_TRUE(seen.request.initialDir.isEmpty());
        EXPECT_EQ(seen.request.filter,
                  u"SQLファイル (*.sql)|*.sql|テキストファイル (*.txt)|*.txt|"
                  u"すべてのファイル (*.*)|*.*||"_s);
        EXPECT_EQ(ReadFileBytes(path), c.whole ? "\xEF\xBB\xBF-- 全体\r\nSELECT 1;\r\n"
                                               : "\xEF\xBB\xBF"
                                                 "CREATE TABLE 表 (\r\n列 text);");
        EXPECT_TRUE(dlg.isVisible());
    }

    // An empty text saves as the byte order mark alone; a cancelled dialog writes nothing.
    CDdlDlg empty(nullptr, u"", u"", u"");
    empty.show();
    prompt.ExpectSaveFile(QString::fromStdString(scratch.File("empty.sql")));
    Child<QPushButton>(&empty, "1114")->click();
    EXPECT_EQ(ReadFileBytes(scratch.File("empty.sql")), "\xEF\xBB\xBF");
    prompt.ExpectSaveFile(QString());
    Child<QPushButton>(&empty, "1114")->click();

    // A file that cannot be created is reported and the dialog stays.
    prompt.ExpectSaveFile(QString::fromStdString(scratch.File("no/such/folder/x.sql")))
        .ExpectMessage(u"ファイルを保存できませんでした。"_s, PromptIcon::Warning);
    Child<QPushButton>(&empty, "1114")->click();
    EXPECT_TRUE(empty.isVisible());
    EXPECT_EQ(prompt.Remaining(), 0u);
}

TEST(AboutDlgTest, ShowsTheVersionAndWhatTheProgramReads) {
    CAboutDlg dlg(nullptr);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(dlg.windowTitle(), u"Kalvex のバージョン情報"_s);
    EXPECT_EQ(Child<QLabel>(&dlg, "1030")->text(), u"Kalvex Version 1.0.0"_s);
    QStringList texts;
    for (QLabel* label : dlg.findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) texts.append(label->text());
    }
    EXPECT_TRUE(texts.contains(u"PostgreSQL ダンプファイル参照ツール"_s));
    EXPECT_TRUE(texts.contains(u"pg_dump (Plain SQL / Custom / Directory) と pg_dumpall に対応"_s));
    EXPECT_FALSE(dlg.windowIcon().isNull());
    // Every text fits: nothing is cut off at the dialog's size.
    for (QLabel* label : dlg.findChildren<QLabel*>()) {
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    Child<QPushButton>(&dlg, "1")->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}
