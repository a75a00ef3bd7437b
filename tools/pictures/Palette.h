#pragma once

#include <QColor>

// The one colour scheme every picture is drawn from, so that the title, the
// buttons and the icons read as parts of the same product.
namespace Palette {
inline const QColor navy(0x04, 0x2a, 0x4a);      // headings, dark surfaces
inline const QColor navyLight(0x0b, 0x3d, 0x66); // gradient partner of navy
inline const QColor navyRaised(0x1a, 0x4f, 0x7c);
inline const QColor accent(0x47, 0x82, 0xb4); // links, active marks
inline const QColor accentDark(0x35, 0x6c, 0x9c);
inline const QColor accentSoft(0x8e, 0xa9, 0xc0);
inline const QColor accentPale(0xea, 0xf1, 0xf8); // quiet fills on white
inline const QColor hoverPale(0xdf, 0xeb, 0xf6);
inline const QColor line(0xd5, 0xe1, 0xec); // hairlines and borders
inline const QColor white(0xff, 0xff, 0xff);
inline const QColor textMuted(0x6b, 0x7f, 0x92);
inline const QColor onNavy(0xcf, 0xe0, 0xef); // quiet text on navy
inline const QColor green(0x2e, 0x9e, 0x5b);  // connected, done
inline const QColor greenPale(0xe8, 0xf6, 0xee);
inline const QColor amber(0xe8, 0x96, 0x10); // attention, in progress
inline const QColor amberPale(0xff, 0xf4, 0xdf);
inline const QColor red(0xd6, 0x45, 0x41);       // failure, disconnected
inline const QColor panelGrey(0xf2, 0xf2, 0xf2); // matches the proxy form's grey widgets
} // namespace Palette
