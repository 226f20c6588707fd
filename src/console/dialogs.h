#pragma once
// The window's modal boxes and the desktop's document opener, behind one seam so tests can
// answer them without a person.
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
    // and does not ask before replacing a file; nothing when cancelled.
    virtual std::optional<QString> saveFileName(QWidget* parent, const QString& filter,
                                                const QString& defaultSuffix,
                                                const QString& folder);
    // A file name from an open dialog that also takes the name of a file that does not exist;
    // nothing when cancelled.
    virtual std::optional<QString> openFileName(QWidget* parent, const QString& filter,
                                                const QString& defaultSuffix,
                                                const QString& folder);
    // Opens a document or address with the desktop's default action; false when that failed.
    virtual bool open(const QUrl& url);
};

}  // namespace kt6
