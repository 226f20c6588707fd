// The local interface served by the window: the status the operator sees, keys and transfers
// through the window's own queue and walks, answers while work holds the link.
#include <fstream>
#include <iterator>

#include "console/status/status_bar.h"
#include "core/api_settings.h"
#include "link/commands.h"
#include "support/fake_line_control.h"
#include "support/interface_client.h"
#include "support/loopback_port.h"
#include "support/window_fixture.h"

namespace kt6::testing {
namespace {

class InterfaceWindowTest : public WindowFixture {
  protected:
    void startServing(ConsoleOptions options) {
        port = static_cast<quint16>(freeLoopbackPort());
        writeSettings("[Api]\r\nPort=" + std::to_string(port) + "\r\nToken=" + kToken + "\r\n");
        options.serveInterface = true;
        start(std::move(options));
        ASSERT_TRUE(client.connectWithToken(port, kToken));
    }
    std::string fileText(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    static constexpr const char* kToken = "window-test-token-0123456789";
    quint16 port = 0;
    InterfaceClient client;
};

TEST_F(InterfaceWindowTest, statusTellsWhatTheWindowShows) {
    startServing(baseOptions());
    pollTwice();
    const auto reply = client.request(R"({"id":1,"cmd":"status"})");
    ASSERT_TRUE(reply.is_object()) << reply;
    EXPECT_EQ(reply["id"], 1);
    EXPECT_EQ(reply["online"], true);
    EXPECT_EQ(reply["port"], "COM1");
    EXPECT_EQ(reply["firmware"], "1.13");
    EXPECT_EQ(reply["drivers"], 3);
    EXPECT_EQ(reply["frequency"], 7157);
    EXPECT_EQ(reply["band"], "40m");
    EXPECT_EQ(reply["link"], window->consoleStatusBar()->linkText().toStdString());
    EXPECT_EQ(reply["radio"], window->consoleStatusBar()->radioText().toStdString());
}

TEST_F(InterfaceWindowTest, aBandRequestPressesTheKeyAsItsButtonDoesAndWatchersSeeTheNewBand) {
    startServing(baseOptions());
    pollTwice();
    ASSERT_EQ(client.request(R"({"cmd":"watch"})")["ok"], true);
    ASSERT_EQ(client.next()["event"], "status");
    controller.received.clear();
    client.send(R"({"id":2,"cmd":"band","band":"20m"})");
    settle();
    const auto reply = client.next();
    EXPECT_EQ(reply["id"], 2);
    EXPECT_EQ(reply["ok"], true) << reply;
    // The band key, then the return key its button sends after it.
    const auto keys = controller.commands(8);
    ASSERT_GE(keys.size(), 2u);
    EXPECT_EQ(keys[0].back(), keys::k20m);
    EXPECT_EQ(keys[1].back(), keys::kReturn);

    controller.record.band = 8;
    controller.record.frequency = 14074;
    pollTwice();
    const auto event = client.nextWhere(
        [](const nlohmann::json& j) { return j["event"] == "status" && j["band"] == "20m"; });
    EXPECT_EQ(event["frequency"], 14074);
}

TEST_F(InterfaceWindowTest, duringABackupRequestsAreAnsweredAtOnceAndKeysRefusedWithTheReason) {
    startServing(transferOptions());
    controller.replyData[5] = Bytes(108, 0);
    pollTwice();
    find<QAbstractButton>("btRicevi")->click();
    ASSERT_TRUE(window->setupPanel().transfer().running());
    const auto status = client.request(R"({"id":1,"cmd":"status"})");
    EXPECT_EQ(status["ok"], true);
    const auto key = client.request(R"({"id":2,"cmd":"key","key":"up"})");
    EXPECT_EQ(key["ok"], false);
    EXPECT_EQ(key["error"], "busy: a backup or restore is running");
    settle();
}

TEST_F(InterfaceWindowTest, aFunctionRunsItsSequenceAndIsAnsweredAtItsEndWhileOthersAreServed) {
    startServing(transferOptions());
    pollTwice();
    InterfaceClient other;
    ASSERT_TRUE(other.connectWithToken(port, kToken));
    controller.received.clear();
    client.send(R"({"id":9,"cmd":"function","name":"retract","confirm":true})");
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->sequenceRunning(); }, 5000));
    // Deep in the retract wait: the window and the interface still answer.
    settleWhile([this] { return controller.commands(8).size() < 4; });
    ASSERT_TRUE(window->sequenceRunning());
    EXPECT_EQ(other.request(R"({"id":1,"cmd":"status"})")["ok"], true);
    const auto refused = other.request(R"({"id":2,"cmd":"key","key":"up"})");
    EXPECT_EQ(refused["error"], "busy: a service function is running");
    settleWhile([this] { return window->sequenceRunning(); });
    const auto reply = client.next();
    EXPECT_EQ(reply["id"], 9);
    EXPECT_EQ(reply["ok"], true) << reply;
}

TEST_F(InterfaceWindowTest, theReplyThatSaysTheElementsStoppedLetsAFunctionRunBeforeItIsPainted) {
    controller.record.moving = true;
    startServing(transferOptions());
    pollTwice();
    ASSERT_TRUE(window->poll().ElementsMoving());
    ASSERT_EQ(client.request(R"({"cmd":"watch"})")["ok"], true);
    controller.record.moving = false;
    window->tmPollTimer();   // the request goes out
    window->tmTimerTimer();  // its reply is read: watchers hear of it now
    const auto still = client.nextWhere(
        [](const nlohmann::json& j) { return j["event"] == "moving" && j["moving"] == false; });
    ASSERT_TRUE(still.is_object());
    ASSERT_TRUE(window->poll().ElementsMoving());  // the window paints it on its next tick
    // A script that heard "still" is not told the elements move.
    client.send(R"({"id":4,"cmd":"function","name":"retract","confirm":true})");
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->sequenceRunning(); }, 5000));
    settleWhile([this] { return window->sequenceRunning(); });
    const auto reply = client.nextWhere([](const nlohmann::json& j) { return j.contains("id"); });
    EXPECT_EQ(reply["id"], 4);
    EXPECT_EQ(reply["ok"], true) << reply;
}

TEST_F(InterfaceWindowTest, keysAndFunctionsAreRefusedWhileTheElementEditorIsOpen) {
    controller.replyData[9] = {0x10, 0x02, 0x2C, 0x01, 0x58, 0x02, 0x00, 0x00};
    startServing(transferOptions());
    pollTwice();
    choose("ModifyElemets1");
    settle();
    ASSERT_FALSE(find("Panel_Menu")->isHidden());
    const auto key = client.request(R"({"id":1,"cmd":"key","key":"up"})");
    EXPECT_EQ(key["error"], "busy: the element editor is open") << key;
    const auto function =
        client.request(R"({"id":2,"cmd":"function","name":"retract","confirm":true})");
    EXPECT_EQ(function["error"], "busy: the element editor is open") << function;
    EXPECT_EQ(client.request(R"({"id":3,"cmd":"status"})")["ok"], true);
}

TEST_F(InterfaceWindowTest, aFunctionWhoseKeysGoUnansweredIsAnsweredWithAnError) {
    startServing(transferOptions());
    pollTwice();
    client.send(R"({"id":3,"cmd":"function","name":"retract","confirm":true})");
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->sequenceRunning(); }, 5000));
    controller.answering = false;
    settleWhile([this] { return window->sequenceRunning(); });
    const auto reply = client.next();
    EXPECT_EQ(reply["id"], 3);
    EXPECT_EQ(reply["ok"], false) << reply;
    EXPECT_NE(reply.value("error", "").find("the controller did not answer"), std::string::npos)
        << reply;
}

TEST_F(InterfaceWindowTest, aBackupThroughTheInterfaceIsTheWindowsFileByteForByte) {
    startServing(transferOptions());
    controller.replyData[5] = Bytes(108, 0);
    pollTwice();
    const std::string byWindow = dir.filePath("window.skarnel").toStdString();
    const std::string byInterface = dir.filePath("interface.skarnel").toStdString();
    dialogs->saveAnswer = QString::fromStdString(byWindow);
    find<QAbstractButton>("btRicevi")->click();
    settle();
    ASSERT_FALSE(fileText(byWindow).empty());

    client.send(R"({"id":5,"cmd":"backup","path":")" + byInterface + R"("})");
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return window->setupPanel().transfer().running(); }, 5000));
    settle();
    nlohmann::json reply;
    int progress = 0;
    for (;;) {
        reply = client.next();
        if (!reply.contains("event")) break;
        EXPECT_EQ(reply["event"], "progress");
        ++progress;
    }
    EXPECT_EQ(reply["id"], 5);
    EXPECT_EQ(reply["ok"], true) << reply;
    EXPECT_GT(progress, 0);
    EXPECT_EQ(fileText(byInterface), fileText(byWindow));
    // The operator's boxes are for the operator's own clicks.
    EXPECT_EQ(dialogs->saves, 1);
}

TEST_F(InterfaceWindowTest, closingTheWindowSaysSoToEveryClient) {
    startServing(baseOptions());
    InterfaceClient second;
    ASSERT_TRUE(second.connectWithToken(port, kToken));
    ASSERT_EQ(second.request(R"({"cmd":"status"})")["ok"], true);
    window->close();
    EXPECT_EQ(client.next()["event"], "closing");
    EXPECT_EQ(second.next()["event"], "closing");
    EXPECT_TRUE(client.closedByPeer());
}

TEST_F(InterfaceWindowTest, theClosingLineReachesAWatcherWhenTheConsoleQuitsRightAfterClosing) {
    startServing(baseOptions());
    ASSERT_EQ(client.request(R"({"cmd":"watch"})")["ok"], true);
    ASSERT_EQ(client.next()["event"], "status");
    // As the program ends after its window closes: no event loop turns in between.
    window->close();
    window.reset();
    EXPECT_EQ(client.next()["event"], "closing");
    EXPECT_TRUE(client.closedByPeer());
}

TEST_F(InterfaceWindowTest, thousandsOfRequestsInOneWriteAreAnsweredInOrderToAPromptReader) {
    startServing(baseOptions());
    // Their replies come to more than a reader that stopped reading may leave unread.
    constexpr int kRequests = 20000;
    std::string burst;
    for (int i = 1; i <= kRequests; ++i)
        burst += R"({"id":)" + std::to_string(i) +
                 R"(,"cmd":"status"})"
                 "\n";
    client.socket().write(QByteArray::fromStdString(burst));
    for (int i = 1; i <= kRequests; ++i) {
        const auto reply = client.next();
        ASSERT_TRUE(reply.is_object()) << "reply " << i << " did not come";
        ASSERT_EQ(reply["id"], i);
        ASSERT_EQ(reply["ok"], true) << reply;
    }
    EXPECT_EQ(client.socket().state(), QAbstractSocket::ConnectedState);
}

TEST_F(InterfaceWindowTest, withoutATokenOnlyWhoReadsTheGeneratedOneGetsIn) {
    port = static_cast<quint16>(freeLoopbackPort());
    writeSettings("[Api]\r\nPort=" + std::to_string(port) + "\r\nToken=\r\n");
    ConsoleOptions options = baseOptions();
    options.serveInterface = true;
    start(std::move(options));
    const std::string token =
        api::clientToken(api::ApiSettings{}, api::tokenFilePath(settingsPath())).value_or("");
    ASSERT_EQ(token.size(), 64u);

    ASSERT_TRUE(client.connectTo(port));
    EXPECT_EQ(client.request(R"({"id":1,"cmd":"status"})")["ok"], false);
    EXPECT_TRUE(client.closedByPeer());
    InterfaceClient guesser;
    ASSERT_TRUE(guesser.connectTo(port));
    EXPECT_EQ(guesser.request(R"({"id":1,"cmd":"auth","token":"not-the-token-at-all"})")["error"],
              "wrong token");
    EXPECT_TRUE(guesser.closedByPeer());
    InterfaceClient owner;
    ASSERT_TRUE(owner.connectWithToken(port, token));
    EXPECT_EQ(owner.request(R"({"id":2,"cmd":"status"})")["ok"], true);
}

TEST_F(InterfaceWindowTest, aShortTokenIsNotServedAndTheOperatorIsTold) {
    writeSettings("[Api]\r\nToken=1234\r\nPort=" + std::to_string(freeLoopbackPort()) + "\r\n");
    ConsoleOptions options = baseOptions();
    options.serveInterface = true;
    start(std::move(options));
    EXPECT_TRUE(window->consoleStatusBar()->eventText().contains("shorter than 16 characters"))
        << window->consoleStatusBar()->eventText().toStdString();
}

TEST_F(InterfaceWindowTest, aNonLoopbackBindWithoutATokenIsNotServedAndTheOperatorIsTold) {
    writeSettings("[Api]\r\nBind=0.0.0.0\r\nPort=" + std::to_string(freeLoopbackPort()) + "\r\n");
    ConsoleOptions options = baseOptions();
    options.serveInterface = true;
    start(std::move(options));
    EXPECT_TRUE(window->consoleStatusBar()->eventText().contains("needs a token"))
        << window->consoleStatusBar()->eventText().toStdString();
}

}  // namespace
}  // namespace kt6::testing

namespace kt6::testing {
namespace {

// The inhibit line as the window drives it from what the poll reads.
class StationWindowTest : public WindowFixture {
  protected:
    void startWithLine() {
        writeSettings("[Inhibit]\r\nPort=/dev/ttyUSB3\r\nLine=RTS\r\n");
        ConsoleOptions options = baseOptions();
        options.makeLineControl = [this] { return std::make_unique<FakeLineControl>(line); };
        start(std::move(options));
    }
    bool inhibited() const { return line.on("/dev/ttyUSB3", ModemLine::Rts); }

    FakeLineState line;
};

TEST_F(StationWindowTest, theInhibitLineFollowsMotionAndHoldsWhileItIsUnknown) {
    startWithLine();
    // Nothing said yet: the elements may be moving.
    EXPECT_TRUE(inhibited());
    pollTwice();
    EXPECT_FALSE(inhibited());

    controller.record.moving = true;
    pollTwice();
    EXPECT_TRUE(inhibited());
    controller.record.moving = false;
    pollTwice();
    EXPECT_FALSE(inhibited());

    // The device gone: motion is unknown again.
    wire.unplug();
    window->tmTimerTimer();
    ASSERT_TRUE(window->portLost());
    EXPECT_TRUE(inhibited());
}

TEST_F(StationWindowTest, aTransferHoldsTheLineAssertedWhileThePollIsHeldBack) {
    writeSettings("[Inhibit]\r\nPort=/dev/ttyUSB3\r\nLine=RTS\r\n");
    ConsoleOptions options = transferOptions();
    options.makeLineControl = [this] { return std::make_unique<FakeLineControl>(line); };
    start(std::move(options));
    controller.replyData[5] = Bytes(108, 0);
    pollTwice();
    ASSERT_FALSE(inhibited());
    dialogs->saveAnswer = dir.filePath("held.skarnel");
    find<QAbstractButton>("btRicevi")->click();
    EXPECT_TRUE(inhibited());
    settle();
    pollTwice();
    EXPECT_FALSE(inhibited());
}

}  // namespace
}  // namespace kt6::testing
