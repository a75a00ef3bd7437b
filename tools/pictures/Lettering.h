#pragma once

#include <QRectF>
#include <QStringList>
#include <QTranslator>

class QPainter;
class TextBlock;

// The words drawn into the pictures, in the language the build chose. They
// are looked up in the program's own catalogue under a context of the
// generator's, so that one translation serves the windows and the pictures
// alike. Every text the catalogue lacks and every text that does not stay
// inside its box is remembered, so that all of them can be named at once.
class Lettering
{
public:
    static constexpr char context[] = "PictureLettering";

    // With an empty path, nothing can be looked up and nothing is missing.
    Lettering(const QString &cataloguePath, bool translate);

    bool loaded() const { return catalogueLoaded; }
    // The source text, marked with QT_TRANSLATE_NOOP under the context
    // above, in the chosen language.
    QString text(const char *source);
    // Draws the block inside the box and checks, on a copy of its own, that
    // no ink lands outside the box.
    void draw(QPainter &painter, const TextBlock &block, const QRectF &box,
              Qt::Alignment alignment);
    const QStringList &problems() const { return found; }

private:
    static QRect inkedArea(QPainter &painter, const TextBlock &block, const QRectF &box,
                           Qt::Alignment alignment);

    QTranslator catalogue;
    bool catalogueLoaded = false;
    bool translate;
    QStringList found;
};
