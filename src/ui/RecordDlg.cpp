#include "ui/RecordDlg.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/RowDetail.h"
#include "ui/DialogUnits.h"
#include "ui/GridLineDelegate.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// Laying out megabytes of text in a list item takes the window down for many seconds; the
// list shows the start of such a value and the copy button still copies all of it.
constexpr size_t kShownValueLength = 10000;

QString ShownValue(const std::u16string& value) {
    if (value.size() <= kShownValueLength) return ToQString(value);
    size_t length = kShownValueLength;
    // Never end between the two halves of a surrogate pair.
    if (value[length - 1] >= 0xD800 && value[length - 1] <= 0xDBFF) --length;
    return ToQString(value.substr(0, length)) + QChar(0x2026);
}

}  // namespace

CRecordDlg::CRecordDlg(QWidget* owner, const TableEntry* table, uint64_t rowNumber, RowCells cells)
    : QDialog(owner), m_table(table), m_cells(std::move(cells)) {
    setObjectName(u"135"_s);
    setWindowTitle(u"Kalvex 行の詳細"_s);
    setSizeGripEnabled(true);

    auto* heading = new QLabel(ToQString(RowDetailHeading(table, rowNumber)), this);
    heading->setObjectName(u"1142"_s);
    heading->setTextFormat(Qt::PlainText);
    heading->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(u"1140"_s);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setItemDelegate(new CGridLineDelegate(m_list));
    m_list->setHeaderLabels({u"カラム"_s, u"型"_s, u"値"_s});
    // The value column takes the width the other two leave and follows the window.
    m_list->header()->setStretchLastSection(true);
    m_list->header()->setMinimumSectionSize(40);
    m_list->setColumnWidth(0, 140);
    m_list->setColumnWidth(1, 120);

    QList<QTreeWidgetItem*> items;
    for (const RowDetailItem& item : BuildRowDetailItems(table, m_cells)) {
        items.append(new QTreeWidgetItem(
            QStringList{ToQString(item.name), ToQString(item.type), ShownValue(item.value)}));
    }
    m_list->addTopLevelItems(items);

    auto* copy = new QPushButton(u"コピー"_s, this);
    copy->setObjectName(u"1141"_s);
    copy->setAutoDefault(false);
    connect(copy, &QPushButton::clicked, this, &CRecordDlg::CopyToClipboard);
    auto* close = new QPushButton(u"閉じる"_s, this);
    close->setObjectName(u"1"_s);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    resize(DialogUnitsToPixels(this, 420, 300));
}

void CRecordDlg::CopyToClipboard() {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setText(ToQString(BuildRowClipboardText(m_table, m_cells)));
    }
}
