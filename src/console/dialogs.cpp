#include "console/dialogs.h"

#include <QDesktopServices>
#include <QInputDialog>
#include <QMessageBox>

namespace kt6 {

void Dialogs::message(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

std::optional<QString> Dialogs::input(QWidget* parent, const QString& title, const QString& prompt,
                                      const QString& defaultText) {
    bool ok = false;
    QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok) return std::nullopt;
    return text;
}

bool Dialogs::open(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace kt6
