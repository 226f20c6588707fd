// A manual's source text: title-page lines, then the body in Markdown.
#pragma once

#include <QString>
#include <QStringList>

namespace kt6::docs {

struct ManualSource {
    QString title;     // first "% " line
    QString subtitle;  // second "% " line
    QString footer;    // third "% " line, the running foot of every body page
    QString body;      // the Markdown after the "% " lines
};

// Splits the leading "% " lines off the Markdown body; missing lines stay empty.
ManualSource parseManualSource(const QString& text);

}  // namespace kt6::docs
