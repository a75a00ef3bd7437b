#pragma once

#include <QLabel>

// A text or picture label that can be clicked like a link.
class ActiveLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ActiveLabel(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool pressed = false;

    Q_DISABLE_COPY_MOVE(ActiveLabel)
};
