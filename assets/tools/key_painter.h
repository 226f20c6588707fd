// Painting of the round keys, the power key and the lamp bezels, shared by the front-panel
// picture and the key glyphs so that a glyph laid over the picture matches the key under it.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QSize>

namespace kt6::assets {

enum class KeyCap { Dark, Lit };
enum class PowerState { Off, On };

// Radii the keys are drawn with; they fit the smallest control each glyph serves.
inline constexpr double kRoundKeyRadius = 16.0;
inline constexpr double kUpDownKeyRadius = 14.0;
inline constexpr double kPowerKeyRadius = 21.0;

// A round key with a chrome bezel and a convex cap, centred on c.
void paintRoundKey(QPainter& p, QPointF c, double radius, KeyCap cap);

// The power key: a round key with the power symbol; On lights the symbol and its ring lamp.
void paintPowerKey(QPainter& p, QPointF c, double radius, PowerState state);

// A recessed bezel around the rectangle where the console paints a round lamp.
void paintLampBezel(QPainter& p, const QRectF& lamp);

// A transparent image of the given size with the key painted at its centre.
QImage roundKeyGlyph(QSize size, double radius, KeyCap cap);
QImage powerKeyGlyph(QSize size, double radius, PowerState state);

}  // namespace kt6::assets
