#pragma once
// The bar under the front panel, two rows: the link and the followed radio, then the latest
// event; each field with its details as a tool tip.
#include <QStatusBar>
#include <QTimer>
#include <chrono>

class QLabel;

namespace kt6 {

class ConsoleStatusBar : public QStatusBar {
    Q_OBJECT
  public:
    // How long an event stays in its field.
    static constexpr std::chrono::seconds kEventTime{10};
    // One row of text; the bar is two rows high. Fixed, so the window's height does not depend
    // on the style's idea of a status bar.
    static constexpr int kRowHeight = 17;
    static constexpr int kHeight = 2 * kRowHeight + 4;

    explicit ConsoleStatusBar(QWidget* parent = nullptr);

    void setLink(const QString& text, const QString& tip);
    void setRadio(const QString& text, const QString& tip);
    // Shows the event for kEventTime, a later event replacing it, and has a screen reader say
    // it: a new event is read out wherever the focus is, the same one again too. A text that
    // differs from the event shown only in its numbers (a countdown, a count of blocks)
    // updates it quietly.
    void announce(const QString& text);
    // Empties the event field now.
    void clearEvent();

    QString linkText() const;
    QString radioText() const;
    QString eventText() const;

  signals:
    // A field's accessible name or description changed, which assistive technology is told.
    void fieldRetold(QLabel* field);
    // The event a screen reader is asked to read out now.
    void spoken(const QString& text);

  private:
    QLabel* field(QWidget* row, const char* name);
    // The field shows text, and a screen reader reads "<caption>: <text>" as its name. Only a
    // change is set: Qt tells assistive technology of every name set, changed or not, and a
    // poll that found nothing new has nothing to tell.
    void showField(QLabel* field, const QString& caption, const QString& text);
    void describe(QLabel* field, const QString& tip);

    QLabel* link_ = nullptr;
    QLabel* radio_ = nullptr;
    QLabel* events_ = nullptr;
    QTimer* eventTimer_ = nullptr;
};

}  // namespace kt6
