#pragma once

#include <QLabel>

namespace host {

// A one-line status label that never widens its window: a text longer than the room it is given
// is shown cut with "…" at its end, whole in its tool tip. fullText() is the text as set.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    const QString &fullText() const { return m_full; }
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();
    int lineHeight() const;

    QString m_full;
};

} // namespace host
