#include "ui/SqlExportDlg.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
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

// Three radio buttons in a row in a box of their own, which is also their group.
QGroupBox* ChoiceBox(QWidget* parent, const QString& title,
                     std::initializer_list<QRadioButton*> buttons) {
    auto* box = new QGroupBox(title, parent);
    auto* layout = new QHBoxLayout(box);
    auto* group = new QButtonGroup(box);
    for (QRadioButton* button : buttons) {
        button->setParent(box);
        group->addButton(button);
        layout->addWidget(button);
    }
    layout->addStretch();
    return box;
}

}  // namespace

CSqlExportDlg::CSqlExportDlg(QWidget* owner, const std::u16string& info, bool filterAvailable)
    : QDialog(owner) {
    setObjectName(u"137"_s);
    setWindowTitle(u"Kalvex SQL出力"_s);

    auto* infoLabel = new QLabel(ToQString(info), this);
    infoLabel->setTextFormat(Qt::PlainText);
    infoLabel->setObjectName(u"1161"_s);

    m_allRows = Control<QRadioButton>(this, 1158, u"全行"_s);
    m_filteredRows = Control<QRadioButton>(this, 1159, u"絞り込み結果"_s);
    m_currentPage = Control<QRadioButton>(this, 1160, u"現在のページ"_s);
    QGroupBox* range = ChoiceBox(this, u"出力範囲"_s, {m_allRows, m_filteredRows, m_currentPage});
    m_both = Control<QRadioButton>(this, 1170, u"定義とデータ"_s);
    m_definitionOnly = Control<QRadioButton>(this, 1171, u"定義のみ"_s);
    m_dataOnly = Control<QRadioButton>(this, 1172, u"データのみ"_s);
    QGroupBox* content = ChoiceBox(this, u"内容"_s, {m_both, m_definitionOnly, m_dataOnly});

    auto* cancel = Control<QPushButton>(this, 2, u"キャンセル"_s);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* ok = Control<QPushButton>(this, 1, u"出力..."_s);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CSqlExportDlg::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(infoLabel);
    layout->addWidget(range);
    layout->addWidget(content);
    layout->addStretch();
    layout->addLayout(buttons);

    // The same opening choice as the CSV export: the filter's rows while one is in force.
    m_filteredRows->setEnabled(filterAvailable);
    (filterAvailable ? m_filteredRows : m_allRows)->setChecked(true);
    m_both->setChecked(true);
    resize(DialogUnitsToPixels(this, 260, 120).expandedTo(sizeHint()));
    ok->setFocus();
}

void CSqlExportDlg::accept() {
    m_scope = m_filteredRows->isChecked()  ? CsvScope_FilteredRows
              : m_currentPage->isChecked() ? CsvScope_CurrentPage
                                           : CsvScope_AllRows;
    m_content = m_definitionOnly->isChecked() ? SqlContent::DefinitionOnly
                : m_dataOnly->isChecked()     ? SqlContent::DataOnly
                                              : SqlContent::DefinitionAndData;
    QDialog::accept();
}
