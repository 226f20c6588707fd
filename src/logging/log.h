#pragma once
// The console's log: one category per job, written to stderr as the lines the manuals quote
// ("link: COM3 online", "settings: not saved: ..."). QT_LOGGING_RULES silences a job
// ("kt6.radio=false"). Only the Qt faces log; the core reports through its observers.
#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

namespace kt6 {

Q_DECLARE_LOGGING_CATEGORY(lcLink)      // kt6.link, "link: ": the port and the controller's link
Q_DECLARE_LOGGING_CATEGORY(lcRadio)     // kt6.radio, "radio: ": the rigs the antenna follows
Q_DECLARE_LOGGING_CATEGORY(lcApi)       // kt6.api, "interface: ": the local control interface
Q_DECLARE_LOGGING_CATEGORY(lcSettings)  // kt6.settings, "settings: ": the settings file
Q_DECLARE_LOGGING_CATEGORY(lcStation)   // kt6.station: the inhibit line and hook, "Station ..."
Q_DECLARE_LOGGING_CATEGORY(lcConsole)   // kt6.console, "skarnel-kt6: ": boxes, the program

// Writes every message of the process to stderr as logLine() makes it, with the journal's
// priorities when stderr is the journal (JOURNAL_STREAM names it).
void installLogHandler();

// One message as the line for stderr, newline included: the category's prefix, or Qt's own
// message pattern for other categories. For the journal, every line starts with its sd-daemon
// priority ("<4>" for a warning).
QByteArray logLine(QtMsgType type, const QMessageLogContext& context, const QString& message,
                   bool journal);

// True when the descriptor is the stream that journalStream ("device:inode", the value of
// JOURNAL_STREAM) names; false for a null or malformed value, and always on Windows.
bool isJournalStream(int fd, const char* journalStream);

}  // namespace kt6
