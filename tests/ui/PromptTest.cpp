#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>

#include "ScriptedPrompt.h"
#include "UiTestUtil.h"
#include "ui/QtPrompt.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

TEST(QtTextTest, RoundTripsEveryCodeUnit) {
    const std::u16string samples[] = {
        u"",
        u"abc",
        u"日本語のテーブル",
        u"\U0001F600 surrogates",
        std::u16string(u"a\0b", 3),
        std::u16string(1, char16_t(0xD800)),  // a lone surrogate stays as it is
    };
    for (const auto& s : samples) {
        const QString q = ToQString(s);
        EXPECT_EQ(q.size(), static_cast<qsizetype>(s.size()));
        EXPECT_EQ(FromQString(q), s);
    }
    EXPECT_EQ(ToQString(u"テーブル"), u"テーブル"_s);
}

TEST(QtPromptTest, TurnsWindowsFiltersIntoQtNameFilters) {
    struct Case {
        QString windows;
        QStringList qt;
    } cases[] = {
        {u"CSVファイル (*.csv)|*.csv|テキストファイル (*.txt)|*.txt|すべてのファイル (*.*)|*.*||"_s,
         {u"CSVファイル (*.csv)"_s, u"テキストファイル (*.txt)"_s, u"すべてのファイル (*.*)"_s}},
        {u"PostgreSQL ダンプ (*.sql;*.dump;*.gz)|*.sql;*.dump;*.gz|すべてのファイル (*.*)|*.*||"_s,
         {u"PostgreSQL ダンプ (*.sql *.dump *.gz)"_s, u"すべてのファイル (*.*)"_s}},
        // A description without its patterns gets them appended.
        {u"Dumps|*.a;*.b||"_s, {u"Dumps (*.a *.b)"_s}},
        {QString(), {}},
        {u"dangling"_s, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToQtNameFilters(c.windows), c.qt) << c.windows.toStdString();
}

// Closes the next modal message box after checking what it shows.
static void AnswerNextMessageBox(QMessageBox::StandardButton button, QString* text,
                                 QMessageBox::Icon* icon, QString* title) {
    QTimer::singleShot(0, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        *text = box->text();
        *icon = box->icon();
        *title = box->windowTitle();
        box->button(button)->click();
    });
}

TEST(QtPromptTest, ShowsRealMessageBoxesTitledKalvex) {
    CQtPrompt prompt;
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;

    AnswerNextMessageBox(QMessageBox::Ok, &text, &icon, &title);
    prompt.ShowMessage(nullptr, u"設定を保存しました。"_s, PromptIcon::Information);
    EXPECT_EQ(text, u"設定を保存しました。"_s);
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(title, u"Kalvex"_s);

    AnswerNextMessageBox(QMessageBox::Ok, &text, &icon, &title);
    prompt.ShowMessage(nullptr, u"失敗"_s, PromptIcon::Warning);
    EXPECT_EQ(icon, QMessageBox::Warning);

    AnswerNextMessageBox(QMessageBox::Yes, &text, &icon, &title);
    EXPECT_TRUE(prompt.AskYesNo(nullptr, u"処理を中止しますか？"_s));
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(title, u"Kalvex"_s);

    AnswerNextMessageBox(QMessageBox::No, &text, &icon, &title);
    EXPECT_FALSE(prompt.AskYesNo(nullptr, u"処理を中止しますか？"_s));
}

// The real input box: titled Kalvex, the prompt above a box that starts with the given text;
// OK hands back what was typed, cancel leaves the text alone.
TEST(QtPromptTest, AsksForTextInARealInputBox) {
    CQtPrompt prompt;
    struct Case {
        bool accept;
        QString typed;
    };
    for (const Case& c : {Case{true, u"1,234"_s}, Case{false, u"9"_s}}) {
        QString label, title, initial;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            label = box->labelText();
            title = box->windowTitle();
            initial = box->textValue();
            box->setTextValue(c.typed);
            if (c.accept) {
                box->accept();
            } else {
                box->reject();
            }
        });
        QString text = u"12"_s;
        EXPECT_EQ(prompt.AskText(nullptr, u"行番号(1 - 1,500)"_s, text), c.accept);
        EXPECT_EQ(label, u"行番号(1 - 1,500)"_s);
        EXPECT_EQ(title, u"Kalvex"_s);
        EXPECT_EQ(initial, u"12"_s);
        EXPECT_EQ(text, c.accept ? c.typed : u"12"_s);
    }
}

TEST(ScriptedPromptTest, AnswersFromItsScriptAndRecordsWhatItSaw) {
    CScriptedPrompt prompt;
    prompt.ExpectYesNo(u"続けますか？"_s, true)
        .ExpectMessage(std::nullopt, PromptIcon::Warning)
        .ExpectOpenFile(u"/tmp/a.dump"_s)
        .ExpectSaveFile(QString());
    IPrompt& current = CurrentPrompt();
    ASSERT_EQ(&current, &prompt);
    EXPECT_TRUE(current.AskYesNo(nullptr, u"続けますか？"_s));
    current.ShowMessage(nullptr, u"何か"_s, PromptIcon::Warning);
    EXPECT_EQ(current.GetOpenFileName(nullptr, {u"開く"_s, {}, {}, {}, {}}), u"/tmp/a.dump"_s);
    EXPECT_TRUE(current.GetSaveFileName(nullptr, {u"保存"_s, {}, {}, {}, {}}).isEmpty());
    ASSERT_EQ(prompt.History().size(), 4u);
    EXPECT_EQ(prompt.History()[2].request.title, u"開く"_s);
    EXPECT_EQ(prompt.Remaining(), 0u);
}

TEST(ScriptedPromptTest, FailsOnUnexpectedWrongOrMissingPrompts) {
    EXPECT_NONFATAL_FAILURE(
        {
            CScriptedPrompt prompt;
            EXPECT_FALSE(prompt.AskYesNo(nullptr, u"?"_s));
        },
        "unexpected Yes/No question");
    EXPECT_NONFATAL_FAILURE(
        {
            CScriptedPrompt prompt;
            prompt.ExpectMessage(u"a"_s, PromptIcon::Information);
            prompt.ShowMessage(nullptr, u"a"_s, PromptIcon::Warning);
        },
        "icon");
    EXPECT_NONFATAL_FAILURE(
        {
            CScriptedPrompt prompt;
            prompt.ExpectMessage(u"a"_s, PromptIcon::Information);
            prompt.ShowMessage(nullptr, u"b"_s, PromptIcon::Information);
        },
        "text");
    EXPECT_NONFATAL_FAILURE(
        {
            CScriptedPrompt prompt;
            prompt.ExpectYesNo(std::nullopt, true);
        },
        "was never shown");
}

TEST(ScriptedPromptTest, ScopesNestAndRestore) {
    IPrompt& outer = CurrentPrompt();
    {
        CScriptedPrompt inner;
        EXPECT_EQ(&CurrentPrompt(), &inner);
    }
    EXPECT_EQ(&CurrentPrompt(), &outer);
}

TEST(QtPromptTest, SaveDialogGetsTitleFiltersFolderAndName) {
    const QString folder = QDir::tempPath();
    CQtPrompt prompt;
    QString title, directory, selectedFilter, suffix;
    QStringList filters;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        directory = dialog->directory().absolutePath();
        suffix = dialog->defaultSuffix();
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const QString chosen = prompt.GetSaveFileName(
        nullptr, {u"Kalvex CSV出力"_s, u"CSVファイル (*.csv)|*.csv|すべてのファイル (*.*)|*.*||"_s,
                  folder, u"public.a_b.csv"_s, u"csv"_s});
    EXPECT_EQ(title, u"Kalvex CSV出力"_s);
    EXPECT_EQ(filters, (QStringList{u"CSVファイル (*.csv)"_s, u"すべてのファイル (*.*)"_s}));
    EXPECT_EQ(directory, QDir(folder).absolutePath());
    EXPECT_EQ(suffix, u"csv"_s);
    EXPECT_EQ(QFileInfo(chosen).fileName(), u"public.a_b.csv"_s);
    EXPECT_EQ(QFileInfo(chosen).absolutePath(), QDir(folder).absolutePath());
}
