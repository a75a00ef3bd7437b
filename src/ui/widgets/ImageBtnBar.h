#pragma once

#include <QList>
#include <QWidget>

class ImageBtn;
class QHBoxLayout;
class QPixmap;
class QSignalMapper;

// A row of picture buttons acting as tabs: at most one is selected, none
// until the first click. Plain pictures can be put between the buttons.
//
// The member `layout` hides QWidget::layout(); the bar's layout is not meant
// to be changed from outside.
class ImageBtnBar : public QWidget
{
    Q_OBJECT

public:
    explicit ImageBtnBar(QWidget *parent = nullptr);

    void addButton(const QPixmap &normal, const QPixmap &hover, const QPixmap &selected);
    void addImage(const QPixmap &picture);

signals:
    void selectionChanged(int index);

public slots:
    void click(int index);

private:
    QList<ImageBtn *> buttons;
    QHBoxLayout *layout;
    QSignalMapper *mapper;
    int current = -1;

    Q_DISABLE_COPY_MOVE(ImageBtnBar)
};
