#pragma once

#include <QLabel>

// A one-line label that shortens its text in the middle when it is too wide, so a long
// path keeps its start and its file name. The whole text is its tool tip.
class CElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit CElidedLabel(QWidget* parent = nullptr);
    void SetFullText(const QString& text);
    const QString& FullText() const { return m_fullText; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateElided();
    QString m_fullText;
};
