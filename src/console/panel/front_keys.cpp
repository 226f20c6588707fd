#include "console/panel/front_keys.h"

namespace kt6 {

QString keyName(int code) {
    switch (code) {
        case 0:
            return QStringLiteral("6m band");
        case 1:
            return QStringLiteral("10m band");
        case 2:
            return QStringLiteral("12m band");
        case 3:
            return QStringLiteral("15m band");
        case 4:
            return QStringLiteral("17m band");
        case 5:
            return QStringLiteral("20m band");
        case 6:
            return QStringLiteral("30m band");
        case 7:
            return QStringLiteral("40m band");
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
            return QStringLiteral("Band lamp (lit band key)");
        default:
            return QStringLiteral("Key %1").arg(code);
    }
}

}  // namespace kt6
