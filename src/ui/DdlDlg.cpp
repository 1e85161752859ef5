#include "ui/DdlDlg.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextOption>

#include "app/OutputTarget.h"
#include "export/ExportText.h"
#include "platform/OutputFile.h"
#include "sql/Encoding.h"
#include "ui/AnchorLayout.h"
#include "ui/DialogUnits.h"
#include "ui/Prompt.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kTemplateWidth = 480;
constexpr int kTemplateHeight = 320;

// A fixed-pitch font that has the Japanese glyphs, 13 pixels high: the face Windows would
// use when the system has it, else the Japanese monospace face Linux systems ship.
QFont DdlFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const QString& family :
         {u"ＭＳ ゴシック"_s, u"Noto Sans Mono CJK JP"_s, u"IPAGothic"_s, u"VL Gothic"_s}) {
        if (QFontDatabase::hasFamily(family)) {
            font = QFont(family);
            break;
        }
    }
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setWeight(QFont::Normal);
    font.setPixelSize(13);
    return font;
}

// Writes the bytes as the whole file. A write that fails half-way (a full disk) leaves
// the file that was there as it was, and no partial file to pass for the DDL.
bool WriteBytes(const std::u16string& path, const std::string& bytes) {
    platform::COutputFile file;
    if (!file.Open(path)) return false;
    if (file.File().WriteAll(bytes.data(), bytes.size()) && file.Commit()) return true;
    file.Abandon();
    return false;
}

}  // namespace

CDdlDlg::CDdlDlg(QWidget* owner, const std::u16string& tableName, const std::u16string& tableDdl,
                 const std::u16string& dumpDdl, const std::u16string& dumpPath)
    : QDialog(owner),
      m_tableName(tableName),
      m_tableDdl(ToCrLf(tableDdl)),
      m_dumpDdl(ToCrLf(dumpDdl)),
      m_dumpPath(dumpPath) {
    setObjectName(u"132"_s);
    setWindowTitle(m_tableName.empty() ? u"Kalvex DDL"_s
                                       : u"Kalvex DDL - "_s + ToQString(m_tableName));
    setSizeGripEnabled(true);

    auto rect = [this](int x, int y, int w, int h) {
        const QSize origin = DialogUnitsToPixels(this, x, y);
        return QRect(QPoint(origin.width(), origin.height()), DialogUnitsToPixels(this, w, h));
    };
    auto* layout = new CAnchorLayout(DialogUnitsToPixels(this, kTemplateWidth, kTemplateHeight));
    setLayout(layout);
    using A = CAnchorLayout;

    m_tableRadio = new QRadioButton(u"選択中のテーブル"_s, this);
    m_tableRadio->setObjectName(u"1111"_s);
    layout->AddWidget(m_tableRadio, rect(7, 7, 100, 10), A::None);
    m_dumpRadio = new QRadioButton(u"ダンプ全体の DDL"_s, this);
    m_dumpRadio->setObjectName(u"1112"_s);
    layout->AddWidget(m_dumpRadio, rect(110, 7, 120, 10), A::None);

    m_edit = new QPlainTextEdit(this);
    m_edit->setObjectName(u"1110"_s);
    m_edit->setReadOnly(true);
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_edit->setWordWrapMode(QTextOption::NoWrap);
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_font = DdlFont();
    m_edit->setFont(m_font);
    layout->AddWidget(m_edit, rect(7, 21, 466, 272), A::GrowX | A::GrowY);

    auto* copy = new QPushButton(u"コピー"_s, this);
    copy->setObjectName(u"1113"_s);
    copy->setAutoDefault(false);
    layout->AddWidget(copy, rect(7, 299, 50, 14), A::MoveY);
    auto* save = new QPushButton(u"保存..."_s, this);
    save->setObjectName(u"1114"_s);
    save->setAutoDefault(false);
    layout->AddWidget(save, rect(61, 299, 50, 14), A::MoveY);
    auto* close = new QPushButton(u"閉じる"_s, this);
    close->setObjectName(u"1"_s);
    close->setDefault(true);
    layout->AddWidget(close, rect(423, 299, 50, 14), A::MoveX | A::MoveY);

    connect(m_tableRadio, &QRadioButton::clicked, this, &CDdlDlg::ShowCheckedText);
    connect(m_dumpRadio, &QRadioButton::clicked, this, &CDdlDlg::ShowCheckedText);
    connect(copy, &QPushButton::clicked, this, &CDdlDlg::CopyToClipboard);
    connect(save, &QPushButton::clicked, this, &CDdlDlg::Save);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    const bool hasTableDdl = !m_tableDdl.empty();
    m_tableRadio->setEnabled(hasTableDdl);
    (hasTableDdl ? m_tableRadio : m_dumpRadio)->setChecked(true);
    ShowCheckedText();

    resize(DialogUnitsToPixels(this, kTemplateWidth, kTemplateHeight));
    close->setFocus();
}

bool CDdlDlg::WholeDumpChecked() const {
    return m_dumpRadio->isChecked();
}

const std::u16string& CDdlDlg::ShownText() const {
    return WholeDumpChecked() ? m_dumpDdl : m_tableDdl;
}

std::u16string CDdlDlg::DefaultFileName() const {
    return ::DefaultDdlFileName(m_tableName, WholeDumpChecked());
}

void CDdlDlg::ShowCheckedText() {
    m_edit->setPlainText(ToQString(ShownText()));
}

void CDdlDlg::CopyToClipboard() {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setText(ToQString(ShownText()));
    }
}

void CDdlDlg::Save() {
    FileDialogRequest request;
    request.title = u"Kalvex DDLファイル"_s;
    request.filter =
        u"SQLファイル (*.sql)|*.sql|テキストファイル (*.txt)|*.txt|すべてのファイル (*.*)|*.*||"_s;
    request.fileName = ToQString(DefaultFileName());
    request.defaultSuffix = u"sql"_s;
    const std::u16string path = FromQString(CurrentPrompt().GetSaveFileName(this, request));
    if (path.empty()) return;
    std::u16string refusal;
    if (!m_dumpPath.empty() && !CheckOutputIsNotDump(m_dumpPath, path, refusal)) {
        CurrentPrompt().ShowMessage(this, ToQString(refusal), PromptIcon::Warning);
        return;
    }
    if (!WriteBytes(path, WithUtf8Bom(FromWide(ShownText(), 65001)))) {
        CurrentPrompt().ShowMessage(this, u"ファイルを保存できませんでした。"_s,
                                    PromptIcon::Warning);
    }
}
