#include "console/help_pages.h"

#include <QStringList>
#include <QUrl>

#include "console/dialogs.h"
#include "console/documents_location.h"
#include "console/path_text.h"

namespace kt6 {

namespace {
constexpr const char* kWebSite = "https://www.skarnel.example/";
}  // namespace

void HelpPages::openManual(const char* fileName) {
    const auto found = findDocument(folders_, fileName);
    if (!found) {
        QStringList looked;
        for (const auto& folder : folders_)
            if (!folder.empty()) looked << pathText(folder);
        message_(QStringLiteral("The manual %1 is missing (looked in %2).")
                     .arg(QString::fromLatin1(fileName), looked.join(QStringLiteral(", "))));
        return;
    }
    const auto& path = *found;
    if (!dialogs_.open(QUrl::fromLocalFile(pathText(path)))) {
        message_(QStringLiteral("No program could open %1.").arg(pathText(path)));
    }
}

void HelpPages::openWebSite() {
    if (!dialogs_.open(QUrl(QString::fromLatin1(kWebSite)))) {
        message_(QStringLiteral("No program could open %1.").arg(QString::fromLatin1(kWebSite)));
    }
}

}  // namespace kt6
