#pragma once
// Where the window opens: where it was last closed when that place is on a screen now,
// else centred. Kept in the settings file's "Window" section.
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

namespace kt6 {

class ProfileFile;

// The place saved by saveWindowPlace; nothing when the section is missing or not numbers.
std::optional<QPoint> loadWindowPlace(const ProfileFile& settings);
void saveWindowPlace(ProfileFile& settings, QPoint topLeft);
// The saved place when the window's title bar would be on one of the screens there,
// else the window centred on the first screen.
QPoint chooseWindowPlace(std::optional<QPoint> saved, QSize frame, const QList<QRect>& screens);

}  // namespace kt6
