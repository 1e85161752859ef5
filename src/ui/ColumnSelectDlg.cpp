#include "ui/ColumnSelectDlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/ColumnChoice.h"
#include "ui/DialogUnits.h"
#include "ui/Prompt.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

CColumnSelectDlg::CColumnSelectDlg(QWidget* owner, const TableEntry* table,
                                   std::vector<int> visibleColumns)
    : QDialog(owner), m_visibleColumns(std::move(visibleColumns)) {
    setObjectName(u"131"_s);
    setWindowTitle(u"Kalvex 表示列"_s);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(u"1100"_s);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHeaderLabels({u"カラム"_s, u"型"_s});
    // Name and type share the width half and half.
    m_list->header()->setSectionResizeMode(QHeaderView::Stretch);

    if (table != nullptr) {
        const std::vector<bool> checked = CheckedColumns(table->columns.size(), m_visibleColumns);
        QList<QTreeWidgetItem*> items;
        for (size_t i = 0; i < table->columns.size(); ++i) {
            auto* item = new QTreeWidgetItem(
                QStringList{ToQString(table->columns[i].name), ToQString(table->columns[i].type)});
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, checked[i] ? Qt::Checked : Qt::Unchecked);
            items.append(item);
        }
        m_list->addTopLevelItems(items);
    }

    auto* selectAll = new QPushButton(u"全選択"_s, this);
    selectAll->setObjectName(u"1101"_s);
    selectAll->setAutoDefault(false);
    connect(selectAll, &QPushButton::clicked, this, [this] { CheckAll(true); });
    auto* deselectAll = new QPushButton(u"全解除"_s, this);
    deselectAll->setObjectName(u"1102"_s);
    deselectAll->setAutoDefault(false);
    connect(deselectAll, &QPushButton::clicked, this, [this] { CheckAll(false); });
    auto* ok = new QPushButton(u"OK"_s, this);
    ok->setObjectName(u"1"_s);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CColumnSelectDlg::accept);
    auto* cancel = new QPushButton(u"キャンセル"_s, this);
    cancel->setObjectName(u"2"_s);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* checks = new QHBoxLayout;
    checks->addWidget(selectAll);
    checks->addWidget(deselectAll);
    checks->addStretch();
    auto* ends = new QHBoxLayout;
    ends->addStretch();
    ends->addWidget(ok);
    ends->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(checks);
    layout->addLayout(ends);

    resize(DialogUnitsToPixels(this, 220, 360));
}

void CColumnSelectDlg::CheckAll(bool checked) {
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        m_list->topLevelItem(i)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
}

void CColumnSelectDlg::accept() {
    std::vector<bool> checked(static_cast<size_t>(m_list->topLevelItemCount()));
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        checked[static_cast<size_t>(i)] = m_list->topLevelItem(i)->checkState(0) == Qt::Checked;
    }
    std::vector<int> chosen = ChosenColumns(checked);
    if (chosen.empty()) {
        CurrentPrompt().ShowMessage(this, u"表示するカラムを1つ以上選択してください。"_s,
                                    PromptIcon::Information);
        return;
    }
    m_visibleColumns = std::move(chosen);
    QDialog::accept();
}
