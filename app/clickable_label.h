#pragma once
// A label that reports a left click, for the links of the status bar and the
// pane's frame.

#include <QLabel>

class ClickableLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
