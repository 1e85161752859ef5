#include "ui/PropertyDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/DumpProperties.h"
#include "ui/DialogUnits.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

CPropertyDlg::CPropertyDlg(QWidget* owner, const DumpInfo& info, uint64_t tableCount)
    : QDialog(owner) {
    setObjectName(u"133"_s);
    setWindowTitle(u"Kalvex プロパティ"_s);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (const PropertyLine& line : BuildPropertyLines(info, tableCount)) {
        auto* box = new QLineEdit(ToQString(line.value), this);
        box->setObjectName(QString::number(line.id));
        box->setReadOnly(true);
        box->setCursorPosition(0);  // a long list of databases shows its start
        form->addRow(ToQString(line.label), box);
    }

    auto* ok = new QPushButton(u"OK"_s, this);
    ok->setObjectName(u"1"_s);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);

    resize(DialogUnitsToPixels(this, 260, 200).expandedTo(sizeHint()));
    ok->setFocus();
}
