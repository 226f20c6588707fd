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
    // Shows the event for kEventTime; a later event replaces it.
    void announce(const QString& text);
    // Empties the event field now.
    void clearEvent();

    QString linkText() const;
    QString radioText() const;
    QString eventText() const;

  private:
    QLabel* field(QWidget* row, const char* name);
    // The field shows text, and a screen reader reads "<caption>: <text>" as its name.
    static void show(QLabel* field, const QString& caption, const QString& text);

    QLabel* link_ = nullptr;
    QLabel* radio_ = nullptr;
    QLabel* events_ = nullptr;
    QTimer* eventTimer_ = nullptr;
};

}  // namespace kt6
