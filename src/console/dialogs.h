#pragma once
// The window's modal boxes and the desktop's document opener, behind one seam so tests can
// answer them without a person.
#include <QDate>
#include <QFileDialog>
#include <QString>
#include <QUrl>
#include <optional>

class QWidget;

namespace kt6 {

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // A message box with one OK button.
    virtual void message(QWidget* parent, const QString& title, const QString& text);
    // An input box; nothing when cancelled.
    virtual std::optional<QString> input(QWidget* parent, const QString& title,
                                         const QString& prompt, const QString& defaultText);
    // A file name from a save dialog that adds the default suffix to a name typed without one
    // and does not ask before replacing a file; it opens in folder (the home folder when that
    // does not exist) proposing "KT6 <today as yyyy-MM-dd>" with the suffix. Nothing when
    // cancelled.
    virtual std::optional<QString> saveFileName(QWidget* parent, const QString& filter,
                                                const QString& defaultSuffix,
                                                const QString& folder);
    // A file name from an open dialog, opening in folder (the home folder when that does not
    // exist), that also takes the name of a file that does not exist; nothing when cancelled.
    virtual std::optional<QString> openFileName(QWidget* parent, const QString& filter,
                                                const QString& defaultSuffix,
                                                const QString& folder);
    // Opens a document or address with the desktop's default action; false when that failed.
    virtual bool open(const QUrl& url);
};

// The name a save dialog proposes on day: "KT6 2024-05-01.skarnel" for the suffix "skarnel".
QString datedFileName(const QDate& day, const QString& suffix);

// Sets up dialog as the save (QFileDialog::AcceptSave) or open dialog of Dialogs: filter,
// suffix, the folder it opens in, and on saving the name of day. Shown by the caller.
void prepareFileDialog(QFileDialog& dialog, QFileDialog::AcceptMode mode, const QString& filter,
                       const QString& defaultSuffix, const QString& folder, const QDate& day);

}  // namespace kt6
