#include "ui/CheckDlg.h"

#include <QBrush>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/WideChar.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// Damaged tables stand out in red whatever the style's palette.
const QColor kWarningColor(0xC0, 0x00, 0x00);

}  // namespace

CCheckDlg::CCheckDlg(QWidget* owner, const std::vector<TableEntry>& tables,
                     const std::vector<TableCheck>& checks)
    : QDialog(owner), m_listText(CheckListText(tables, checks)) {
    setWindowTitle(u"ダンプの検査"_s);
    resize(640, 400);

    auto* list = new QTreeWidget(this);
    list->setObjectName(u"CheckList"_s);
    list->setRootIsDecorated(false);
    list->setSortingEnabled(false);
    list->setHeaderLabels({u"テーブル"_s, u"件数"_s, u"状態"_s});
    for (const TableCheck& check : checks) {
        auto* item = new QTreeWidgetItem(list);
        item->setText(0, ToQString(tables[check.tableIndex].QualifiedName()));
        item->setText(1, ToQString(platform::FormatDecimal(static_cast<int64_t>(check.rows))));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(2, ToQString(CheckStatusText(check)));
        if (!check.whole) {
            for (int column = 0; column < 3; ++column) item->setForeground(column, kWarningColor);
        }
    }
    list->header()->resizeSections(QHeaderView::ResizeToContents);

    auto* summary = new QLabel(ToQString(CheckSummary(checks)), this);
    summary->setObjectName(u"CheckSummary"_s);
    auto* copy = new QPushButton(u"コピー"_s, this);
    copy->setObjectName(u"CopyButton"_s);
    auto* close = new QPushButton(u"閉じる"_s, this);
    close->setObjectName(u"CloseButton"_s);
    close->setDefault(true);
    connect(copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(ToQString(m_listText)); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summary, 1);
    buttons->addWidget(copy);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
}
