#include "MainWindowDriver.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <fstream>
#include <thread>

#include "UiTestUtil.h"
#include "jobs/JobContext.h"
#include "ui/GridModel.h"
#include "ui/KalvexDlg.h"
#include "ui/ProgressDlg.h"

QString ControlText(QWidget& window, int id) {
    QWidget* widget = FindControl<QWidget>(window, id);
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
    return QStringLiteral("<no text control %1>").arg(id);
}

bool ControlEnabled(QWidget& window, int id) {
    QWidget* widget = FindControl<QWidget>(window, id);
    return widget != nullptr && widget->isEnabled();
}

std::vector<QStringList> ListRows(QWidget& window, int id) {
    std::vector<QStringList> rows;
    auto* list = FindControl<QTreeWidget>(window, id);
    if (list == nullptr) return rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList texts;
        for (int c = 0; c < list->columnCount(); ++c) texts << list->topLevelItem(i)->text(c);
        rows.push_back(texts);
    }
    return rows;
}

QString GridCell(CKalvexDlg& window, int row, int column) {
    CGridModel* model = window.GetGridModel();
    return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

int GridRows(CKalvexDlg& window) {
    return window.GetGridModel()->rowCount();
}

int GridColumns(CKalvexDlg& window) {
    return window.GetGridModel()->columnCount();
}

QString GridHeader(CKalvexDlg& window, int column) {
    return window.GetGridModel()->headerData(column, Qt::Horizontal).toString();
}

void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
}

void FocusControl(QWidget* widget) {
    QWidget* window = widget->window();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    widget->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
}

void HandleNextModal(std::function<void(QWidget* dialog)> inspect) {
    WhenModalShown<QDialog>([inspect = std::move(inspect)](QDialog* dialog) {
        inspect(dialog);
        dialog->reject();
    });
}

void CancelNextProgress() {
    WhenModalShown<CProgressDlg>([](CProgressDlg* dialog) {
        // The progress dialog's cancel button is control 2.
        if (auto* button = FindControl<QAbstractButton>(*dialog, 2)) button->click();
    });
}

namespace {

class CHoldingReader : public IDumpFile {
public:
    CHoldingReader(std::unique_ptr<IDumpFile> reader, std::shared_ptr<HoldFlags> flags)
        : m_reader(std::move(reader)), m_flags(std::move(flags)) {}

    const std::u16string& GetPath() const override { return m_reader->GetPath(); }
    const DumpInfo& GetInfo() const override { return m_reader->GetInfo(); }
    bool Scan(IJobContext* job, std::u16string& error) override {
        if (m_flags->holdScan) return Hold(job, error);
        return m_reader->Scan(job, error);
    }
    std::vector<TableEntry>& GetTables() override { return m_reader->GetTables(); }
    const std::vector<DdlObject>& GetDdlObjects() const override {
        return m_reader->GetDdlObjects();
    }
    bool ReadTableData(const TableEntry& table, IDataSink& sink, IJobContext* job,
                       std::u16string& error) override {
        if (m_flags->holdLoad) return Hold(job, error);
        return m_reader->ReadTableData(table, sink, job, error);
    }
    void SetLogger(DumpLogger logger) override { m_reader->SetLogger(std::move(logger)); }

private:
    static bool Hold(IJobContext* job, std::u16string& error) {
        // Gives up after ten seconds so a test that never cancels fails instead of hanging.
        for (int i = 0; i < 2000; ++i) {
            if (job != nullptr && job->IsCancelled()) {
                error = kCancelledMessage;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        error = u"hold timed out";
        return false;
    }

    std::unique_ptr<IDumpFile> m_reader;
    std::shared_ptr<HoldFlags> m_flags;
};

}  // namespace

std::unique_ptr<IDumpFile> HoldingReader(std::unique_ptr<IDumpFile> reader,
                                         std::shared_ptr<HoldFlags> flags) {
    if (!reader) return reader;
    return std::make_unique<CHoldingReader>(std::move(reader), std::move(flags));
}

std::string WritePlainDump(const std::string& path, size_t count) {
    std::ofstream out(path, std::ios::binary);
    out << "--\n-- PostgreSQL database dump\n--\n\n"
           "SET client_encoding = 'UTF8';\n"
           "SET standard_conforming_strings = on;\n\n"
           "CREATE TABLE public.big (\n    n integer,\n    label text\n);\n\n"
           "COPY public.big (n, label) FROM stdin;\n";
    for (size_t i = 1; i <= count; ++i) out << i << "\trow " << i << "\n";
    out << "\\.\n\n--\n-- PostgreSQL database dump complete\n--\n\n";
    return path;
}
