// Where the console lays its controls over the front-panel picture, in picture pixels.
// The picture is drawn to these rectangles so that every key glyph and lamp of the window
// falls on the key or lamp bezel painted under it.
#pragma once

#include <QRect>
#include <QString>

#include <array>

namespace kt6::assets {

inline constexpr QSize kPanelSize{640, 325};
// Only this much of the picture is seen in the window; the rest is cut off.
inline constexpr QSize kVisibleSize{625, 321};

struct BandKey {
    QRect rect;
    const char* label;
};

inline constexpr std::array<BandKey, 8> kBandKeys{{
    {QRect(104, 32, 41, 41), "15m"},
    {QRect(168, 32, 41, 41), "12m"},
    {QRect(232, 32, 33, 41), "10m"},
    {QRect(288, 32, 41, 41), "6m"},
    {QRect(104, 280, 41, 41), "40m"},
    {QRect(168, 280, 41, 41), "30m"},
    {QRect(224, 280, 41, 41), "20m"},
    {QRect(288, 280, 41, 41), "17m"},
}};

// The lit band key of the window is this size, placed at a band key's top-left corner: each
// band key is drawn centred where the lit key lands on it (the 10 m key is narrower than
// the lit key, so its glyph sits right of its control's middle).
inline constexpr QSize kBandLampSize{41, 41};

inline QPointF bandKeyCentre(const BandKey& key) {
    return QRectF(QPointF(key.rect.topLeft()), QSizeF(kBandLampSize)).center();
}

inline constexpr QRect kUpKey(440, 200, 33, 30);
inline constexpr QRect kDownKey(440, 272, 33, 41);
inline constexpr QRect kDirectionKey(512, 120, 33, 33);
inline constexpr QRect kPowerKeyOff(568, 264, 49, 49);
inline constexpr QRect kPowerKeyOn(566, 264, 49, 49);

inline constexpr QRect kLamp180(488, 96, 21, 17);
inline constexpr QRect kLampBidir(544, 96, 25, 17);
inline constexpr QRect kCaption180(488, 80, 22, 13);
inline constexpr QRect kCaptionBidir(544, 80, 26, 13);
inline constexpr QRect kLampMove(385, 112, 56, 25);
inline constexpr QRect kCaptionMove(392, 96, 44, 13);

inline constexpr QRect kDisplay(72, 96, 289, 153);

// Glyph bitmaps; each key is drawn centred so that it can be centred on its control.
inline constexpr QSize kRoundKeyGlyph{45, 48};
inline constexpr QSize kUpDownKeyGlyph{47, 43};
inline constexpr QSize kPowerOffGlyph{55, 55};
inline constexpr QSize kPowerOnGlyph{63, 54};
inline constexpr QSize kLitKeyGlyph{46, 48};

// The control sizes the glyphs are shown in: a glyph's visible part must fit these.
inline constexpr QSize kBandKeyControl{41, 41};
inline constexpr QSize kUpKeyControl{33, 30};
inline constexpr QSize kPowerKeyControl{49, 49};

}  // namespace kt6::assets
