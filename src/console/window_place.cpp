#include "console/window_place.h"

#include <string>

#include "console/whole_number.h"
#include "memory/profile_file.h"

namespace kt6 {
namespace {

constexpr const char* kSection = "Window";

}  // namespace

std::optional<QPoint> loadWindowPlace(const ProfileFile& settings) {
    const auto left = wholeNumber(settings.readString(kSection, "Left", ""));
    const auto top = wholeNumber(settings.readString(kSection, "Top", ""));
    if (!left || !top) return std::nullopt;
    return QPoint(*left, *top);
}

void saveWindowPlace(ProfileFile& settings, QPoint topLeft) {
    settings.writeString(kSection, "Left", std::to_string(topLeft.x()));
    settings.writeString(kSection, "Top", std::to_string(topLeft.y()));
}

QPoint chooseWindowPlace(std::optional<QPoint> saved, QSize frame, const QList<QRect>& screens) {
    if (saved) {
        // The title bar is what the operator needs to reach to move the window back.
        const QRect titleBar(*saved, QSize(frame.width(), 24));
        for (const QRect& screen : screens) {
            const QRect seen = screen.intersected(titleBar);
            if (seen.width() >= 100 || seen.width() == titleBar.width()) {
                if (seen.height() == titleBar.height()) return *saved;
            }
        }
    }
    if (screens.isEmpty()) return QPoint(0, 0);
    const QRect first = screens.front();
    return first.topLeft() +
           QPoint((first.width() - frame.width()) / 2, (first.height() - frame.height()) / 2);
}

}  // namespace kt6
