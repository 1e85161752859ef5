#include "ui/CsvExportDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/DialogUnits.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

namespace {

template <class T>
T* Control(QWidget* parent, int id, const QString& text) {
    auto* control = new T(text, parent);
    control->setObjectName(QString::number(id));
    return control;
}

QLabel* Label(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Radio buttons that exclude only each other, not the other groups of the same box.
void Group(QObject* owner, std::initializer_list<QRadioButton*> buttons) {
    auto* group = new QButtonGroup(owner);
    for (QRadioButton* button : buttons) group->addButton(button);
}

}  // namespace

CCsvExportDlg::CCsvExportDlg(QWidget* owner, const std::u16string& info, CsvOptions* options,
                             bool filterAvailable, bool columnChoiceAvailable)
    : QDialog(owner),
      m_info(info),
      m_options(options),
      m_filterAvailable(filterAvailable),
      m_columnChoiceAvailable(columnChoiceAvailable) {
    setObjectName(u"136"_s);
    setWindowTitle(u"Kalvex CSV出力"_s);

    QLabel* infoLabel = Label(this, ToQString(m_info));
    infoLabel->setObjectName(u"1161"_s);

    auto* range = new QGroupBox(u"出力範囲"_s, this);
    m_allRows = Control<QRadioButton>(range, 1158, u"全行"_s);
    m_filteredRows = Control<QRadioButton>(range, 1159, u"絞り込み結果"_s);
    m_currentPage = Control<QRadioButton>(range, 1160, u"現在のページ"_s);
    m_visibleColumns = Control<QCheckBox>(range, 1162, u"表示列のみ出力する"_s);
    Group(this, {m_allRows, m_filteredRows, m_currentPage});
    auto* rangeLayout = new QGridLayout(range);
    rangeLayout->addWidget(m_allRows, 0, 0);
    rangeLayout->addWidget(m_filteredRows, 0, 1);
    rangeLayout->addWidget(m_currentPage, 0, 2);
    rangeLayout->addWidget(m_visibleColumns, 1, 0, 1, 3);
    rangeLayout->setColumnStretch(3, 1);

    auto* format = new QGroupBox(u"形式"_s, this);
    m_comma = Control<QRadioButton>(format, 1150, u"カンマ"_s);
    m_tab = Control<QRadioButton>(format, 1151, u"タブ"_s);
    Group(this, {m_comma, m_tab});
    m_utf8Bom = Control<QRadioButton>(format, 1155, u"UTF-8 (BOM付き)"_s);
    m_utf8 = Control<QRadioButton>(format, 1156, u"UTF-8"_s);
    m_sjis = Control<QRadioButton>(format, 1154, u"Shift_JIS"_s);
    Group(this, {m_utf8Bom, m_utf8, m_sjis});
    m_header = Control<QCheckBox>(format, 1152, u"ヘッダ行を出力する"_s);
    m_quoteAll = Control<QCheckBox>(format, 1153, u"すべての値を引用符で囲む"_s);
    m_nullText = new QLineEdit(format);
    m_nullText->setObjectName(u"1157"_s);
    m_nullText->setMaximumWidth(DialogUnitsToPixels(this, 80, 0).width());

    auto* formatLayout = new QGridLayout(format);
    formatLayout->addWidget(Label(format, u"区切り文字"_s), 0, 0);
    formatLayout->addWidget(m_comma, 0, 1);
    formatLayout->addWidget(m_tab, 0, 2);
    formatLayout->addWidget(Label(format, u"文字コード"_s), 1, 0);
    formatLayout->addWidget(m_utf8Bom, 1, 1);
    formatLayout->addWidget(m_utf8, 1, 2);
    formatLayout->addWidget(m_sjis, 1, 3);
    formatLayout->addWidget(m_header, 2, 0, 1, 4);
    formatLayout->addWidget(m_quoteAll, 3, 0, 1, 4);
    auto* nullRow = new QHBoxLayout;
    nullRow->addWidget(m_nullText);
    nullRow->addWidget(Label(format, u"(空欄なら空文字)"_s));
    nullRow->addStretch();
    formatLayout->addWidget(Label(format, u"NULL の表記"_s), 4, 0);
    formatLayout->addLayout(nullRow, 4, 1, 1, 3);
    formatLayout->setColumnStretch(4, 1);

    auto* cancel = Control<QPushButton>(this, 2, u"キャンセル"_s);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* ok = Control<QPushButton>(this, 1, u"出力..."_s);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CCsvExportDlg::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(infoLabel);
    layout->addWidget(range);
    layout->addWidget(format);
    layout->addStretch();
    layout->addLayout(buttons);
    // Tab order as the controls are listed: the range, the format, cancel, export.
    QWidget* previous = nullptr;
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_allRows, m_filteredRows, m_currentPage, m_visibleColumns, m_comma, m_tab, m_utf8Bom,
             m_utf8, m_sjis, m_header, m_quoteAll, m_nullText, cancel, ok}) {
        if (previous != nullptr) setTabOrder(previous, w);
        previous = w;
    }

    // The choice the dialog opens with.
    m_filteredRows->setEnabled(m_filterAvailable);
    (m_filterAvailable ? m_filteredRows : m_allRows)->setChecked(true);
    m_visibleColumns->setEnabled(m_columnChoiceAvailable);
    m_visibleColumns->setChecked(m_columnChoiceAvailable);
    (m_options->delimiter == u'\t' ? m_tab : m_comma)->setChecked(true);
    if (m_options->encoding == u"SJIS") {
        m_sjis->setChecked(true);
    } else if (m_options->encoding == u"UTF8") {
        m_utf8->setChecked(true);
    } else {
        m_utf8Bom->setChecked(true);
    }
    m_header->setChecked(m_options->header);
    m_quoteAll->setChecked(m_options->quoteAll);
    m_nullText->setText(ToQString(m_options->nullText));

    resize(DialogUnitsToPixels(this, 300, 230).expandedTo(sizeHint()));
    ok->setFocus();
}

void CCsvExportDlg::accept() {
    m_scope = m_filteredRows->isChecked()  ? CsvScope_FilteredRows
              : m_currentPage->isChecked() ? CsvScope_CurrentPage
                                           : CsvScope_AllRows;
    m_visibleOnly = m_columnChoiceAvailable && m_visibleColumns->isChecked();
    m_options->delimiter = m_tab->isChecked() ? u'\t' : u',';
    m_options->encoding = m_sjis->isChecked()   ? u"SJIS"
                          : m_utf8->isChecked() ? u"UTF8"
                                                : u"UTF8BOM";
    m_options->header = m_header->isChecked();
    m_options->quoteAll = m_quoteAll->isChecked();
    m_options->nullText = FromQString(m_nullText->text());
    QDialog::accept();
}
