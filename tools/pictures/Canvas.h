#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>

// An image with an antialiasing painter already open on it.
class Canvas
{
public:
    Canvas(int width, int height, const QColor &fill = Qt::transparent);
    Canvas(const Canvas &) = delete;
    Canvas &operator=(const Canvas &) = delete;

    QPainter &painter() { return paint; }
    QImage finish();

private:
    QImage pixels;
    QPainter paint;
};
