#include <QCoreApplication>
#include <optional>

#include "console/close_on_signal.h"
#include "console/headless_console.h"
#include "console/path_text.h"
#include "console/settings_location.h"
#include "console_line.h"
#include "logging/log.h"

namespace kt6 {

int runHeadless(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    nameApplication();
    CommandLine line;
    line.parser.process(app);
    std::optional<std::filesystem::path> override;
    if (line.parser.isSet(line.settings)) override = toPath(line.parser.value(line.settings));
    const std::filesystem::path exeDir = toPath(QCoreApplication::applicationDirPath());
    HeadlessConsole console(locateSettingsFile(exeDir, override));
    if (const QString why = console.start(); !why.isEmpty()) {
        qCCritical(lcApi, "not started: %s", qUtf8Printable(why));
        return 2;
    }
    stopOnTerminationSignals(&console, [&console] { console.stop(); });
    return QCoreApplication::exec();
}

}  // namespace kt6
