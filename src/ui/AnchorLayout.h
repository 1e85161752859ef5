#pragma once

#include <QLayout>
#include <QRect>
#include <QSize>
#include <vector>

// Places widgets at fixed rectangles laid out for a reference size and, when the space
// changes, moves or stretches each one with the edges it is anchored to: a control keeps
// its distance to the right or bottom edge, or grows by the change in width or height.
class CAnchorLayout : public QLayout {
public:
    enum Anchor {
        None = 0,
        MoveX = 1,  // keeps its distance to the right edge
        MoveY = 2,  // keeps its distance to the bottom edge
        GrowX = 4,  // grows with the width
        GrowY = 8,  // grows with the height
    };

    // referenceSize is the space the rectangles were laid out for.
    explicit CAnchorLayout(QSize referenceSize, QWidget* parent = nullptr);
    ~CAnchorLayout() override;

    void AddWidget(QWidget* widget, const QRect& rect, int anchors);

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    struct Entry {
        QLayoutItem* item;
        QRect rect;
        int anchors;
    };
    QSize m_reference;
    std::vector<Entry> m_entries;
};
