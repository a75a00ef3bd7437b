#pragma once

#include "PictureGroup.h"

#include <QtGlobal>

class Lettering;
class QPainter;
class QPointF;

// The grey panel of the proxy form behind the "own proxy server" controls,
// whose widgets share its #F2F2F2; a small picture on its right shows the
// computer reaching the Internet through a proxy. Laid out for a 500 px
// wide form: the left 330 px stay free for the controls.
class ProxyPanel : public PictureGroup
{
public:
    static constexpr int width = 490;
    static constexpr int height = 160;

    explicit ProxyPanel(Lettering &lettering) : lettering(lettering) {}
    void addTo(PictureCatalogue &catalogue) const override;

private:
    void paintRoute(QPainter &painter, qreal left, qreal right, qreal middle) const;
    static void dashed(QPainter &painter, const QPointF &from, const QPointF &to);

    Lettering &lettering;
};
