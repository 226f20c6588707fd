#pragma once
// What the station is told while the antenna's elements move, and so the antenna is detuned: a
// transmit-inhibit line, and a command run at each change. Fed each status reply's moving bit
// and the link's fate; the line and the command's processes sit behind small interfaces, so the
// window gives a serial line and a process launcher and the tests give fakes. No Qt.
//
// The station sees one state, "inhibit" or not, and the line and the command always agree on
// it: the elements are taken as moving whenever the console does not know (the link offline or
// lost, or no reply yet), because transmitting into a detuned antenna is the harm to avoid.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kt6 {

// What the console knows of the elements.
enum class Motion { Unknown, Moving, Still };

// The controller link as the console last told it.
enum class LinkReport { Offline, Online, Lost };

// The transmit-inhibit output. The operations are not named assert/release alone: <cassert>'s
// assert macro would take the call.
class InhibitLine {
  public:
    virtual ~InhibitLine() = default;
    // Drives the line to its asserted level (transmitting inhibited); empty, or why it could not.
    virtual std::string assertLine() = 0;
    // Drives the line to its released level; empty, or why it could not.
    virtual std::string releaseLine() = 0;
};

// How a hook process ended.
struct HookOutcome {
    enum class End { Exited, NotStarted, Killed };
    End end = End::Exited;
    // The exit status when it exited; the signal when killed (0 when the system does not say).
    int code = 0;
    // Why it did not start.
    std::string reason;
};

// Starts the hook's processes.
class HookLauncher {
  public:
    using Finished = std::function<void(const HookOutcome&)>;
    virtual ~HookLauncher() = default;
    // Starts args[0] with the other arguments, the environment given these "NAME=value" entries
    // over the console's own, and returns without waiting. finished runs once, from the event
    // loop, when the process has ended or could not be started.
    virtual void start(const std::vector<std::string>& args, const std::vector<std::string>& env,
                       Finished finished) = 0;
};

class MovingOutputs {
  public:
    // Failures, as the status bar's Events field shows them.
    using Report = std::function<void(const std::string& text)>;

    // Nothing is driven or run until a line or a command is given.
    MovingOutputs(std::unique_ptr<HookLauncher> launcher, Report report);
    ~MovingOutputs();
    MovingOutputs(const MovingOutputs&) = delete;
    MovingOutputs& operator=(const MovingOutputs&) = delete;

    // The line to drive from now on (none when null), driven at once to the state now. The line
    // it replaces is left as close() leaves a line, then let go.
    void setLine(std::unique_ptr<InhibitLine> line);
    // The command run at each change (none when blank), split as a command line. It is run at
    // once with the state now, so that what it drives agrees with the line from the start; a
    // command that does not split is reported and never run.
    void setCommand(const std::string& command);

    // A status reply: the elements move or stand still, and the link is online.
    void statusSeen(bool moving);
    // The port is open (again); nothing is known of the elements until a reply says.
    void linkOnline();
    // Nothing live is known of the elements: the port is closed, the controller fell silent, or
    // the console holds its poll back.
    void linkOffline();
    // The port's device went away.
    void linkLost();
    // The console shuts down: the line is released when the elements were known to stand still,
    // and otherwise left asserted for the system to close with the port; nothing is driven or
    // run afterwards. A motion unknown at the end is not "standing still".
    void close();
    // Drives the line to the state now once more (after something else drove the same line).
    void redriveLine();

    Motion motion() const { return motion_; }
    LinkReport link() const { return link_; }
    // The station's state: true while the line is (meant to be) asserted.
    bool inhibited() const { return motion_ != Motion::Still; }
    bool hookRunning() const { return hookRunning_; }
    bool closed() const { return closed_; }

    // "KT6_MOVING": the hook's environment variable, "1" while inhibited, else "0".
    static constexpr const char* kHookVariable = "KT6_MOVING";

  private:
    void setMotion(Motion motion);
    void driveLine();
    // Starts the hook when the station's state is not what it was last told and none runs.
    void runHook();
    void hookEnded(const std::string& command, const HookOutcome& outcome);

    std::unique_ptr<HookLauncher> launcher_;
    Report report_;
    std::unique_ptr<InhibitLine> line_;
    Motion motion_ = Motion::Unknown;
    LinkReport link_ = LinkReport::Offline;
    // The last drive of the line failed: reported once, then tried again at every input.
    bool lineFailing_ = false;
    std::string command_;
    std::vector<std::string> args_;
    bool hookRunning_ = false;
    // The state the last hook started was given; none since the command was set.
    bool hookTold_ = false;
    bool hookToldInhibit_ = false;
    bool closed_ = false;
    // Lets a hook's end that comes after this object is gone find it gone.
    std::shared_ptr<MovingOutputs*> self_;
};

// "Station hook failed: <command>: exit status 2" and its kin; empty when the hook succeeded.
std::string hookFailureText(const std::string& command, const HookOutcome& outcome);

}  // namespace kt6
