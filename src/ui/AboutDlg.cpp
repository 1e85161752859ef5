#include "ui/AboutDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/DebugLog.h"
#include "ui/DialogUnits.h"
#include "ui/ProgramIcon.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

namespace {

QLabel* TextLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* owner) : QDialog(owner) {
    setObjectName(u"100"_s);
    setWindowTitle(u"Kalvex のバージョン情報"_s);
    const QIcon icon = ProgramIcon();
    setWindowIcon(icon);

    auto* picture = new QLabel(this);
    picture->setPixmap(icon.pixmap(32, 32));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    QLabel* version = TextLabel(u"Kalvex Version "_s + ToQString(kProgramVersion), this);
    version->setObjectName(u"1030"_s);
    auto* texts = new QVBoxLayout;
    texts->addWidget(version);
    texts->addWidget(TextLabel(u"PostgreSQL ダンプファイル参照ツール"_s, this));
    texts->addWidget(
        TextLabel(u"pg_dump (Plain SQL / Custom / Directory) と pg_dumpall に対応"_s, this));
    texts->addStretch();

    auto* ok = new QPushButton(u"OK"_s, this);
    ok->setObjectName(u"1"_s);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(DialogUnitsToPixels(this, 8, 0).width());
    layout->addWidget(picture, 0, 0);
    layout->addLayout(texts, 0, 1);
    layout->addWidget(ok, 0, 2, Qt::AlignTop);
    layout->setColumnStretch(1, 1);

    resize(DialogUnitsToPixels(this, 310, 94).expandedTo(sizeHint()));
    ok->setFocus();
}
