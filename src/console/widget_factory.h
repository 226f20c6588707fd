#pragma once
// How every part of the window builds its controls: a widget under its own name at its place
// (the layout is the controller's panel, placed by pixel), a font sized in pixels rather than
// points, and where the controller's display sits on the panel.
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>
#include <utility>

namespace kt6 {

// The display's place on the blue panel; the service screens and the element editor cover it.
inline constexpr QRect kDisplayPlace{72, 96, 289, 153};

template <typename W, typename... Args>
W* make(QWidget* parent, const QString& name, QRect place, Args&&... args) {
    auto* w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(name);
    w->setGeometry(place);
    return w;
}

template <typename W, typename... Args>
W* make(QWidget* parent, const char* name, QRect place, Args&&... args) {
    return make<W>(parent, QString::fromLatin1(name), place, std::forward<Args>(args)...);
}

// The panel's texts keep their size whatever the desktop's font settings.
inline QFont pixelFont(int pixels, bool bold = false, const char* family = "MS Sans Serif") {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

}  // namespace kt6
