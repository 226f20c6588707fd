#pragma once
// The window's boxes and dialogs answered by the test, with everything they were asked kept:
// the one stand-in for Dialogs in the window tests, the integration tests and the benches.
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>
#include <vector>

#include "console/dialogs.h"

namespace kt6::testing {

struct FakeDialogs : Dialogs {
    // Message boxes, in order.
    std::vector<QString> messages;
    std::vector<QString> titles;
    // Runs while a message box would be up.
    std::function<void()> whileShown;

    // The input box's answer; nothing for a cancel.
    std::optional<QString> answer;
    int inputs = 0;

    // The file dialogs' answers; nothing for a cancel.
    std::optional<QString> saveAnswer;
    std::optional<QString> openAnswer;
    int saves = 0;
    int opens = 0;
    // Every file dialog's filter and default suffix, in order.
    std::vector<QString> filters;
    std::vector<QString> suffixes;
    // Runs while a file dialog would be up, as a click queued behind it would.
    std::function<void()> whileAsking;

    // What the window asked the desktop to open.
    std::vector<QUrl> opened;

    void message(QWidget*, const QString& title, const QString& text) override {
        messages.push_back(text);
        titles.push_back(title);
        if (whileShown) whileShown();
    }
    std::optional<QString> input(QWidget*, const QString&, const QString&,
                                 const QString&) override {
        ++inputs;
        return answer;
    }
    std::optional<QString> saveFileName(QWidget*, const QString& filter, const QString& suffix,
                                        const QString&) override {
        ++saves;
        return fileAnswer(filter, suffix, saveAnswer);
    }
    std::optional<QString> openFileName(QWidget*, const QString& filter, const QString& suffix,
                                        const QString&) override {
        ++opens;
        return fileAnswer(filter, suffix, openAnswer);
    }
    bool open(const QUrl& url) override {
        opened.push_back(url);
        return true;
    }

  private:
    std::optional<QString> fileAnswer(const QString& filter, const QString& suffix,
                                      const std::optional<QString>& given) {
        filters.push_back(filter);
        suffixes.push_back(suffix);
        if (whileAsking) whileAsking();
        return given;
    }
};

}  // namespace kt6::testing
