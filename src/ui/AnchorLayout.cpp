#include "ui/AnchorLayout.h"

#include <QWidgetItem>
#include <algorithm>

CAnchorLayout::CAnchorLayout(QSize referenceSize, QWidget* parent)
    : QLayout(parent), m_reference(referenceSize) {
    setContentsMargins(0, 0, 0, 0);
}

CAnchorLayout::~CAnchorLayout() {
    for (Entry& entry : m_entries) delete entry.item;
}

void CAnchorLayout::AddWidget(QWidget* widget, const QRect& rect, int anchors) {
    addChildWidget(widget);
    m_entries.push_back(Entry{new QWidgetItem(widget), rect, anchors});
    invalidate();
}

void CAnchorLayout::addItem(QLayoutItem* item) {
    m_entries.push_back(Entry{item, QRect(), None});
}

QLayoutItem* CAnchorLayout::itemAt(int index) const {
    if (index < 0 || index >= count()) return nullptr;
    return m_entries[static_cast<size_t>(index)].item;
}

QLayoutItem* CAnchorLayout::takeAt(int index) {
    if (index < 0 || index >= count()) return nullptr;
    QLayoutItem* item = m_entries[static_cast<size_t>(index)].item;
    m_entries.erase(m_entries.begin() + index);
    return item;
}

int CAnchorLayout::count() const {
    return static_cast<int>(m_entries.size());
}

QSize CAnchorLayout::sizeHint() const {
    return m_reference;
}

QSize CAnchorLayout::minimumSize() const {
    // The window's own minimum size governs; the layout asks for nothing beyond it.
    return QSize(0, 0);
}

void CAnchorLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    const int dx = rect.width() - m_reference.width();
    const int dy = rect.height() - m_reference.height();
    for (const Entry& entry : m_entries) {
        QRect r = entry.rect;
        if (entry.anchors & MoveX) r.translate(dx, 0);
        if (entry.anchors & MoveY) r.translate(0, dy);
        if (entry.anchors & GrowX) r.setWidth(std::max(0, r.width() + dx));
        if (entry.anchors & GrowY) r.setHeight(std::max(0, r.height() + dy));
        entry.item->setGeometry(r.translated(rect.topLeft()));
    }
}
