#pragma once

#include <QDialog>
#include <cstdint>

#include "dump/DumpModel.h"

// The open dump's properties, each in a read-only box.
class CPropertyDlg : public QDialog {
    Q_OBJECT
public:
    CPropertyDlg(QWidget* owner, const DumpInfo& info, uint64_t tableCount);
};
