#include "ui/widgets/ImageBtnBar.h"

#include "ui/widgets/ImageBtn.h"

#include <QHBoxLayout>
#include <QSignalMapper>

ImageBtnBar::ImageBtnBar(QWidget *parent)
    : QWidget(parent), layout(new QHBoxLayout(this)), mapper(new QSignalMapper(this))
{
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    connect(mapper, &QSignalMapper::mappedInt, this, &ImageBtnBar::click);
}

void ImageBtnBar::addButton(const QPixmap &normal, const QPixmap &hover, const QPixmap &selected)
{
    auto *button = new ImageBtn(this, normal, hover, selected);
    button->setCursor(Qt::PointingHandCursor);
    layout->addWidget(button, 0);
    connect(button, &ImageBtn::clicked, mapper, qOverload<>(&QSignalMapper::map));
    mapper->setMapping(button, int(buttons.size()));
    buttons.append(button);
}

void ImageBtnBar::addImage(const QPixmap &picture)
{
    layout->addWidget(new ImageBtn(this, picture), 0);
}

void ImageBtnBar::click(int index)
{
    if (index < 0 || index == current || index >= buttons.size())
        return;

    if (current >= 0)
        buttons[current]->setSelected(false);
    current = index;
    buttons[current]->setSelected(true);
    emit selectionChanged(current);
}
