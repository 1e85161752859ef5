#pragma once

#include <QStyledItemDelegate>

// Draws thin lines between the cells of a report list, as list views with grid lines do.
class CGridLineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // A little air above and below the text, which the lines would otherwise touch.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
