#pragma once

#include <QLabel>
#include <QPixmap>
#include <array>

// A selectable button drawn from up to three pictures: normal, hovered and
// selected. Only a button with all three can show itself selected; its owner
// decides what is selected.
class ImageBtn : public QLabel
{
    Q_OBJECT

public:
    explicit ImageBtn(QWidget *parent = nullptr);
    ImageBtn(QWidget *parent, const QPixmap &normal);
    ImageBtn(QWidget *parent, const QPixmap &normal, const QPixmap &hover);
    ImageBtn(QWidget *parent, const QPixmap &normal, const QPixmap &hover, const QPixmap &selected);

    void setSelected(bool on);

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
        SelectedPicture
    };

    ImageBtn(QWidget *parent, const std::array<QPixmap, 3> &pictures, int count);
    void showHoverPicture();

    std::array<QPixmap, 3> pixmaps;
    int count = 0;
    bool pressed = false;
    bool selected = false;
    bool hover = false;

    Q_DISABLE_COPY_MOVE(ImageBtn)
};
