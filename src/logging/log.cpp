#include "logging/log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kt6 {

Q_LOGGING_CATEGORY(lcLink, "kt6.link")
Q_LOGGING_CATEGORY(lcRadio, "kt6.radio")
Q_LOGGING_CATEGORY(lcApi, "kt6.api")
Q_LOGGING_CATEGORY(lcSettings, "kt6.settings")
Q_LOGGING_CATEGORY(lcStation, "kt6.station")
Q_LOGGING_CATEGORY(lcConsole, "kt6.console")

namespace {

struct Prefix {
    const char* category;
    const char* line;
};

// What each line starts with, as the README and the manuals quote them; the station's texts
// all begin with "Station" already.
constexpr Prefix kPrefixes[] = {
    {"kt6.link", "link: "},         {"kt6.radio", "radio: "}, {"kt6.api", "interface: "},
    {"kt6.settings", "settings: "}, {"kt6.station", ""},      {"kt6.console", "skarnel-kt6: "},
};

const char* prefixOf(const char* category) {
    if (!category) return nullptr;
    for (const Prefix& p : kPrefixes) {
        if (std::strcmp(p.category, category) == 0) return p.line;
    }
    return nullptr;
}

const char* priorityOf(QtMsgType type) {
    switch (type) {
        case QtDebugMsg:
            return "<7>";
        case QtInfoMsg:
            return "<6>";
        case QtWarningMsg:
            return "<4>";
        case QtCriticalMsg:
            return "<3>";
        case QtFatalMsg:
            break;
    }
    return "<2>";
}

// Read once, before the handler is installed; the handler only reads it.
bool toJournal = false;

void writeLine(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QByteArray line = logLine(type, context, message, toJournal);
    // One write per message, so lines from the radio's threads never interleave.
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}

}  // namespace

QByteArray logLine(QtMsgType type, const QMessageLogContext& context, const QString& message,
                   bool journal) {
    const char* prefix = prefixOf(context.category);
    QByteArray text = prefix ? QByteArray(prefix) + message.toLocal8Bit()
                             : qFormatLogMessage(type, context, message).toLocal8Bit();
    if (journal) {
        // The journal takes each line as an entry of its own: each gets the priority.
        const QByteArray priority = priorityOf(type);
        text.replace('\n', "\n" + priority);
        text.prepend(priority);
    }
    text.append('\n');
    return text;
}

void installLogHandler() {
    toJournal = isJournalStream(2, std::getenv("JOURNAL_STREAM"));
    qInstallMessageHandler(writeLine);
}

}  // namespace kt6
