#include "console/panel/front_keys.h"

namespace kt6 {

QString bandOfKey(int code) {
    static constexpr const char* kBands[] = {"6m", "10m", "12m", "15m", "17m", "20m", "30m", "40m"};
    if (code < 0 || code > 7) return {};
    return QString::fromLatin1(kBands[code]);
}

QString keyName(int code) {
    if (const QString band = bandOfKey(code); !band.isEmpty())
        return band + QStringLiteral(" band");
    switch (code) {
        case 9:
            return QStringLiteral("Direction");
        case 10:
            return QStringLiteral("Frequency up");
        case 11:
            return QStringLiteral("Frequency down");
        case 12:
            return QStringLiteral("Power");
        case 13:
            return QStringLiteral("Return");
        case 77:
            return QStringLiteral("Band lamp");
        default:
            return QStringLiteral("Key %1").arg(code);
    }
}

}  // namespace kt6
