#include "ui/ElidedLabel.h"

#include <QFontMetrics>

CElidedLabel::CElidedLabel(QWidget* parent) : QLabel(parent) {
    // The label takes the width it is given; the full text must not widen the window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setTextFormat(Qt::PlainText);
}

void CElidedLabel::SetFullText(const QString& text) {
    m_fullText = text;
    setToolTip(text);
    UpdateElided();
}

void CElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    UpdateElided();
}

void CElidedLabel::UpdateElided() {
    // A framed label with no indent of its own indents by half an "x" (QLabel's rule).
    int inset = indent();
    if (inset < 0) inset = frameWidth() > 0 ? fontMetrics().horizontalAdvance(u'x') / 2 : 0;
    const int width = contentsRect().width() - 2 * margin() - 2 * inset;
    const QString shown = fontMetrics().elidedText(m_fullText, Qt::ElideMiddle, qMax(width, 0));
    if (shown != text()) setText(shown);
}
