#pragma once

#include <QCheckBox>

// Check box that announces the mouse entering and leaving it, so that a form
// can explain the option under the pointer.
class HoverChBox : public QCheckBox
{
    Q_OBJECT

public:
    explicit HoverChBox(QWidget *parent = nullptr);

signals:
    void hoverOn();
    void hoverOff();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    Q_DISABLE_COPY_MOVE(HoverChBox)
};
