#include "manual_source.h"

namespace kt6::docs {

ManualSource parseManualSource(const QString& text) {
    ManualSource src;
    QStringList header;
    qsizetype pos = 0;
    while (pos < text.size() && text.mid(pos, 2) == QLatin1String("% ")) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), pos);
        if (end < 0) end = text.size();
        header << text.mid(pos + 2, end - pos - 2).trimmed();
        pos = end + 1;
    }
    if (header.size() > 0) src.title = header[0];
    if (header.size() > 1) src.subtitle = header[1];
    if (header.size() > 2) src.footer = header[2];
    src.body = text.mid(pos);
    return src;
}

}  // namespace kt6::docs
