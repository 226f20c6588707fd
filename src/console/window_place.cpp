#include "console/window_place.h"

#include <charconv>
#include <string>

#include "memory/profile_file.h"

namespace kt6 {
namespace {

constexpr const char* kSection = "Window";

std::optional<int> number(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

}  // namespace

std::optional<QPoint> loadWindowPlace(const ProfileFile& settings) {
    const auto left = number(settings.readString(kSection, "Left", ""));
    const auto top = number(settings.readString(kSection, "Top", ""));
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
