#include "ui/MainKeyFilter.h"

#include <QApplication>
#include <QKeyEvent>

#include "ui/KalvexDlg.h"

CMainKeyFilter::CMainKeyFilter(CKalvexDlg& window) : QObject(&window), m_window(window) {}

bool CMainKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != &m_window || QApplication::activePopupWidget() != nullptr) return false;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != &m_window) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    return m_window.HandleKey(watched, key->key(), key->modifiers());
}
