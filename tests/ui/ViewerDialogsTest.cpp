#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "ScriptedPrompt.h"
#include "UiTestUtil.h"
#include "ui/ColumnSelectDlg.h"
#include "ui/PropertyDlg.h"
#include "ui/QtText.h"
#include "ui/RecordDlg.h"

using namespace Qt::Literals::StringLiterals;

namespace {

TableEntry SampleTable() {
    TableEntry table;
    table.schema = u"public";
    table.name = u"受注明細";
    table.columns = {{u"id", u"integer", true},
                     {u"品名", u"character varying(40)", false},
                     {u"数量", u"numeric(10,2)", false},
                     {u"備考", u"text", false}};
    return table;
}

QStringList ItemTexts(QTreeWidget* list, int row) {
    QStringList texts;
    QTreeWidgetItem* item = list->topLevelItem(row);
    for (int c = 0; c < list->columnCount(); ++c) texts.append(item->text(c));
    return texts;
}

QStringList HeaderTexts(QTreeWidget* list) {
    QStringList texts;
    for (int c = 0; c < list->columnCount(); ++c) texts.append(list->headerItem()->text(c));
    return texts;
}

}  // namespace

TEST(RecordDlgTest, ListsEveryCellAndCopiesTheRow) {
    TableEntry table = SampleTable();
    table.columns.resize(2);  // two known columns, three cells
    CRecordDlg dlg(nullptr, &table, 42, {{false, u"7"}, {true, u""}, {false, u"改行\nあり"}});
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));

    EXPECT_EQ(dlg.windowTitle(), u"Kalvex 行の詳細"_s);
    EXPECT_EQ(Child<QLabel>(&dlg, "1142")->text(), u"public.受注明細  行 42"_s);
    auto* list = Child<QTreeWidget>(&dlg, "1140");
    EXPECT_EQ(HeaderTexts(list), (QStringList{u"カラム"_s, u"型"_s, u"値"_s}));
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(ItemTexts(list, 0), (QStringList{u"id"_s, u"integer"_s, u"7"_s}));
    EXPECT_EQ(ItemTexts(list, 1),
              (QStringList{u"品名"_s, u"character varying(40)"_s, u"(NULL)"_s}));
    EXPECT_EQ(ItemTexts(list, 2), (QStringList{u"(列3)"_s, QString(), u"改行\nあり"_s}));
    EXPECT_EQ(list->columnWidth(0), 140);
    EXPECT_EQ(list->columnWidth(1), 120);
    EXPECT_GE(list->columnWidth(2), 200);
    EXPECT_GE(list->columnWidth(2), list->viewport()->width() - 264);
    EXPECT_EQ(Child<QPushButton>(&dlg, "1141")->text(), u"コピー"_s);
    EXPECT_EQ(Child<QPushButton>(&dlg, "1")->text(), u"閉じる"_s);

    QGuiApplication::clipboard()->clear();
    Child<QPushButton>(&dlg, "1141")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"id\t7\r\n品名\t(NULL)\r\n\t改行\nあり\r\n"_s);
    EXPECT_TRUE(dlg.isVisible());  // copying does not close

    // The list follows the window; the buttons stay at the bottom, close at the right.
    auto* close = Child<QPushButton>(&dlg, "1");
    const QSize listBefore = list->size();
    const int closeRightGap = dlg.width() - close->geometry().right();
    dlg.resize(dlg.width() + 150, dlg.height() + 100);
    QApplication::processEvents();
    EXPECT_EQ(list->width(), listBefore.width() + 150);
    EXPECT_EQ(list->height(), listBefore.height() + 100);
    EXPECT_GE(list->columnWidth(2), list->viewport()->width() - 264);  // values get the room
    EXPECT_EQ(dlg.width() - close->geometry().right(), closeRightGap);
    EXPECT_LT(Child<QPushButton>(&dlg, "1141")->x(), list->width() / 2);

    QTest::keyClick(&dlg, Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible());
}

TEST(PropertyDlgTest, ShowsEveryPropertyInItsBox) {
    DumpInfo info;
    info.formatName = u"Plain SQL";
    info.isCluster = true;
    info.databases = {u"postgres", u"kx_main", u"kx_eucjp"};
    info.serverVersion = u"15.5 (Debian 15.5-0+deb12u1)";
    info.dumpVersion = u"15.5 (Debian 15.5-0+deb12u1)";
    info.encoding = u"UTF8";
    info.compression = u"none";
    info.createdAt = u"2024/05/06 07:08:09";
    CPropertyDlg dlg(nullptr, info, 12);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(dlg.windowTitle(), u"Kalvex プロパティ"_s);
    const std::pair<const char*, QString> expected[] = {
        {"1120", u"Plain SQL (pg_dumpall)"_s},
        {"1121", u"postgres, kx_main, kx_eucjp"_s},
        {"1122", u"15.5 (Debian 15.5-0+deb12u1)"_s},
        {"1123", u"15.5 (Debian 15.5-0+deb12u1)"_s},
        {"1124", u"UTF8"_s},
        {"1126", u"none"_s},
        {"1125", u"2024/05/06 07:08:09"_s},
        {"1127", u"12"_s},
    };
    int lastY = -1;
    for (const auto& [id, value] : expected) {
        auto* box = Child<QLineEdit>(&dlg, id);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), value) << id;
        EXPECT_TRUE(box->isReadOnly()) << id;
        EXPECT_GT(box->y(), lastY) << id << " is out of order";
        lastY = box->y();
    }
    // Every label fits its text.
    for (QLabel* label : dlg.findChildren<QLabel*>()) {
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
            << label->text().toStdString();
    }
    QTest::keyClick(&dlg, Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(ColumnSelectDlgTest, ChecksTheShownColumnsAndReturnsTheChoiceInTableOrder) {
    const TableEntry table = SampleTable();
    CColumnSelectDlg dlg(nullptr, &table, {3, 0});
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(dlg.windowTitle(), u"Kalvex 表示列"_s);
    auto* list = Child<QTreeWidget>(&dlg, "1100");
    EXPECT_EQ(HeaderTexts(list), (QStringList{u"カラム"_s, u"型"_s}));
    ASSERT_EQ(list->topLevelItemCount(), 4);
    const Qt::CheckState want[] = {Qt::Checked, Qt::Unchecked, Qt::Unchecked, Qt::Checked};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list->topLevelItem(i)->checkState(0), want[i]) << i;
        EXPECT_EQ(list->topLevelItem(i)->text(1), ToQString(table.columns[i].type));
    }
    EXPECT_NEAR(list->columnWidth(0), list->viewport()->width() / 2, 2);

    // Space on the current item toggles it, as a click on its box would.
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(2));
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(list->topLevelItem(2)->checkState(0), Qt::Checked);

    Child<QPushButton>(&dlg, "1")->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.VisibleColumns(), (std::vector<int>{0, 2, 3}));
}

TEST(ColumnSelectDlgTest, RefusesAnEmptyChoiceAndSelectAllRestoresEveryColumn) {
    const TableEntry table = SampleTable();
    CColumnSelectDlg dlg(nullptr, &table, {1});
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(Child<QPushButton>(&dlg, "1101")->text(), u"全選択"_s);
    EXPECT_EQ(Child<QPushButton>(&dlg, "1102")->text(), u"全解除"_s);
    EXPECT_EQ(Child<QPushButton>(&dlg, "2")->text(), u"キャンセル"_s);

    CScriptedPrompt prompt;
    prompt.ExpectMessage(u"表示するカラムを1つ以上選択してください。"_s, PromptIcon::Information);
    Child<QPushButton>(&dlg, "1102")->click();
    QTest::keyClick(&dlg, Qt::Key_Return);  // Enter is OK
    EXPECT_EQ(prompt.Remaining(), 0u);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.VisibleColumns(), (std::vector<int>{1}));

    Child<QPushButton>(&dlg, "1101")->click();
    QTest::keyClick(&dlg, Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.VisibleColumns(), (std::vector<int>{0, 1, 2, 3}));
}

TEST(ColumnSelectDlgTest, CancelAndEscapeKeepTheColumns) {
    const TableEntry table = SampleTable();
    for (bool escape : {false, true}) {
        CColumnSelectDlg dlg(nullptr, &table, {2, 1});
        dlg.show();
        Child<QPushButton>(&dlg, "1101")->click();
        if (escape) {
            QTest::keyClick(&dlg, Qt::Key_Escape);
        } else {
            Child<QPushButton>(&dlg, "2")->click();
        }
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_EQ(dlg.VisibleColumns(), (std::vector<int>{2, 1}));
    }
}

// A value of megabytes is shown by its start in the list and copied whole.
TEST(RecordDlgTest, HugeValueIsShownByItsStartAndCopiedWhole) {
    const TableEntry table = SampleTable();
    std::u16string big(3'000'000, u'x');
    for (size_t i = 100; i < big.size(); i += 100) big[i] = u'\n';
    big[9999] = u'\xD83D';  // a surrogate pair across the cut
    big[10000] = u'\xDE00';
    CRecordDlg dlg(nullptr, &table, 1, {{false, u"1"}, {false, big}});
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* list = Child<QTreeWidget>(&dlg, "1140");
    const QString shown = list->topLevelItem(1)->text(2);
    EXPECT_EQ(shown.size(), 9999 + 1);
    EXPECT_TRUE(shown.endsWith(QChar(0x2026)));
    EXPECT_EQ(shown.left(9999), ToQString(big.substr(0, 9999)));
    Child<QPushButton>(&dlg, "1141")->click();
    EXPECT_TRUE(QGuiApplication::clipboard()->text() ==
                ToQString(u"id\t1\r\n品名\t" + big + u"\r\n数量\t\r\n備考\t\r\n"));
}
