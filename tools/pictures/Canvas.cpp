#include "Canvas.h"

Canvas::Canvas(int width, int height, const QColor &fill)
    : pixels(width, height, QImage::Format_ARGB32_Premultiplied)
{
    pixels.fill(fill);
    paint.begin(&pixels);
    paint.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                         QPainter::SmoothPixmapTransform);
}

QImage Canvas::finish()
{
    if (paint.isActive())
        paint.end();
    return pixels.convertToFormat(QImage::Format_ARGB32);
}
