#pragma once

#include <QLabel>
#include <QPixmap>
#include <array>

// A push button drawn from three pictures: normal, hovered and pressed.
class ImageButton : public QLabel
{
    Q_OBJECT

public:
    explicit ImageButton(QWidget *parent = nullptr);

    void setPixmaps(const QPixmap &normal, const QPixmap &hover, const QPixmap &pressed);

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    enum Picture
    {
        NormalPicture,
        HoverPicture,
        PressedPicture
    };

    void showCurrentPicture();

    std::array<QPixmap, 3> pixmaps;
    int count = 0;
    bool pressed = false;
    bool hover = false;

    Q_DISABLE_COPY_MOVE(ImageButton)
};
