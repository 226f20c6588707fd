#include "console/dialogs.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

namespace kt6 {

void Dialogs::message(QWidget* parent, const QString& title, const QString& text) {
    // One OK button and no icon.
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

std::optional<QString> Dialogs::input(QWidget* parent, const QString& title, const QString& prompt,
                                      const QString& defaultText) {
    bool ok = false;
    QString text =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok) return std::nullopt;
    return text;
}

QString datedFileName(const QDate& day, const QString& suffix) {
    return QStringLiteral("KT6 %1.%2").arg(day.toString(QStringLiteral("yyyy-MM-dd")), suffix);
}

void prepareFileDialog(QFileDialog& dialog, QFileDialog::AcceptMode mode, const QString& filter,
                       const QString& defaultSuffix, const QString& folder, const QDate& day) {
    dialog.setNameFilter(filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // A folder that is not there would be taken for a file in its parent, and its name offered
    // as the file's.
    const QString start = QFileInfo(folder).isDir() ? folder : QDir::homePath();
    dialog.setDirectory(start);
    if (mode == QFileDialog::AcceptSave) dialog.selectFile(datedFileName(day, defaultSuffix));
}

namespace {
std::optional<QString> chooseFile(QWidget* parent, QFileDialog::AcceptMode mode,
                                  const QString& filter, const QString& defaultSuffix,
                                  const QString& folder) {
    QFileDialog dialog(parent);
    prepareFileDialog(dialog, mode, filter, defaultSuffix, folder, QDate::currentDate());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
}  // namespace

std::optional<QString> Dialogs::saveFileName(QWidget* parent, const QString& filter,
                                             const QString& defaultSuffix, const QString& folder) {
    return chooseFile(parent, QFileDialog::AcceptSave, filter, defaultSuffix, folder);
}

std::optional<QString> Dialogs::openFileName(QWidget* parent, const QString& filter,
                                             const QString& defaultSuffix, const QString& folder) {
    return chooseFile(parent, QFileDialog::AcceptOpen, filter, defaultSuffix, folder);
}

bool Dialogs::open(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

}  // namespace kt6
