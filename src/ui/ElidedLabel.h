#pragma once

#include <QLabel>

// A one-line label that shows "…" where its text does not fit, keeping the
// whole text as its text and, when asked, as its tool tip. Lives on the main
// thread.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(Qt::TextElideMode mode = Qt::ElideRight, QWidget* parent = nullptr);

    // The text as it is drawn in the label's present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    QSize minimumSizeHint() const override;

private:
    Qt::TextElideMode m_mode;
};
