#include "Lettering.h"

#include "TextBlock.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>

Lettering::Lettering(const QString &cataloguePath, bool translate) : translate(translate)
{
    if (!cataloguePath.isEmpty())
        catalogueLoaded = catalogue.load(cataloguePath);
}

QString Lettering::text(const char *source)
{
    const QString source16 = QString::fromUtf8(source);
    if (!catalogueLoaded)
        return source16;
    const QString translated = catalogue.translate(context, source);
    if (translated.isEmpty()) {
        const QString problem = QStringLiteral("not in the catalogue: \"%1\"").arg(source16);
        if (!found.contains(problem)) // a sprite letters each of its looks
            found.append(problem);
        return source16;
    }
    return translate ? translated : source16;
}

void Lettering::draw(QPainter &painter, const TextBlock &block, const QRectF &box,
                     Qt::Alignment alignment)
{
    const QSize picture(painter.device()->width(), painter.device()->height());
    // Antialiasing may tint the pixel next to the box.
    const QRectF allowed = painter.worldTransform().mapRect(box).adjusted(-1, -1, 1, 1);
    const QRect inked = inkedArea(painter, block, box, alignment);
    const QString where =
        QStringLiteral("\"%1\" at %2 px").arg(block.text()).arg(block.pixelSize());
    if (!block.fits() || block.size().width() > box.width() ||
        block.size().height() > box.height() || !allowed.contains(QRectF(inked)))
        found.append(QStringLiteral("%1 does not fit its box of %2 x %3")
                         .arg(where)
                         .arg(box.width(), 0, 'g', 4)
                         .arg(box.height(), 0, 'g', 4));
    if (!QRectF(QPointF(0, 0), picture).contains(allowed.adjusted(1, 1, -1, -1)))
        found.append(QStringLiteral("%1 has a box outside its picture").arg(where));
    if (inked.isEmpty() && !block.text().isEmpty())
        found.append(QStringLiteral("%1 left no ink").arg(where));
    block.draw(painter, box, alignment);
}

// Drawn again, unclipped, on a blank copy of the picture: whatever a clip
// would cut off in the real picture shows here.
QRect Lettering::inkedArea(QPainter &painter, const TextBlock &block, const QRectF &box,
                           Qt::Alignment alignment)
{
    QImage probe(painter.device()->width(), painter.device()->height(),
                 QImage::Format_ARGB32_Premultiplied);
    probe.fill(Qt::transparent);
    QPainter ink(&probe);
    ink.setRenderHints(painter.renderHints());
    ink.setTransform(painter.worldTransform());
    ink.setPen(Qt::black);
    block.draw(ink, box, alignment);
    ink.end();
    QRect inked;
    for (int y = 0; y < probe.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(probe.constScanLine(y));
        for (int x = 0; x < probe.width(); ++x) {
            if (qAlpha(row[x]) != 0)
                inked |= QRect(x, y, 1, 1);
        }
    }
    return inked;
}
