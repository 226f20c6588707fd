#pragma once
// The controller's service functions as the console walks them: when each may run, and the
// key presses, pauses and screens of each opening and each answer, as data StepPlayer plays.
// No widgets here; the window supplies the actions.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kt6 {

enum class ServiceFunction { Calibrate, FactoryDefault, ModifyElements, Retract, TestElements };

// What the "Functions" items look at before they act.
struct GuardState {
    bool replied = false;            // a status reply has come on the open port
    std::uint32_t frequency = 0;     // CurrentFrequency, kHz
    bool portPromptVisible = false;  // COM_VERIFY's own visible flag
    bool elementsMoving = false;
};

// FunctionGuard: the controller has answered, a frequency is set, no port prompt, nothing
// moving.
bool FunctionGuard(const GuardState& state);
// Why the function may not open now, in the words its menu item shows; nothing when it may.
std::optional<std::string_view> guardRefusal(ServiceFunction function, const GuardState& state);

// The screens laid over the display while a function runs.
enum class ServiceScreen {
    Panel_calibrate,
    Panel_factory,
    Panel_Retract,
    Panel_test,
    Panel_T_act,
    Calibrate_of_course,
    Retracting_of_course,
    panel_test_go,
};
inline constexpr std::size_t kServiceScreenCount = 8;
// The five question screens, which every opening hides first.
inline constexpr ServiceScreen kQuestionScreens[] = {
    ServiceScreen::Panel_calibrate, ServiceScreen::Panel_factory, ServiceScreen::Panel_Retract,
    ServiceScreen::Panel_T_act, ServiceScreen::Panel_test};

struct ServiceStep {
    enum class Op : std::uint8_t {
        Key,          // SendKey(value, flag)
        KeyAsIs,      // key press without enabling exchanges first
        ReturnKey,    // a click of the hidden return key: key 13
        Pause,        // value ms
        RetractWait,  // the wait the current frequency's band needs
        HideFrontKeys,
        ShowFrontKeys,
        HideQuestions,  // the five question screens
        Show,
        Hide,
        FactoryLines,  // the display's "have been recalled" message
    };
    Op op;
    int value = 0;
    bool flag = false;
    ServiceScreen screen = ServiceScreen::Panel_calibrate;
};

inline constexpr std::chrono::milliseconds kMenuKeyPause{333};
inline constexpr std::chrono::milliseconds kEditorExitPause{200};
inline constexpr std::chrono::milliseconds kCalibrateWait{26000};
inline constexpr std::chrono::milliseconds kTestWait{6000};
// A retraction at a frequency outside every band window: the longest band's wait, so the
// "please wait" screen always ends.
inline constexpr std::chrono::milliseconds kRetractFallbackWait{26000};

// How long the motors need to retract the elements from this frequency.
std::chrono::milliseconds retractWait(std::uint32_t kHz);

enum class ServiceAnswer {
    CalibrateYes,
    CalibrateNo,
    FactoryYes,
    FactoryNo,
    RetractYes,
    RetractNo,
    TestYes,
    TestNo,
    TestActiveYes,
};

// The opening of a function's menu walk (not ModifyElements, whose editor has its own).
std::span<const ServiceStep> openingSteps(ServiceFunction function);
std::span<const ServiceStep> answerSteps(ServiceAnswer answer);
// The editor's walk into the controller's element menu, up to its screen showing.
std::span<const ServiceStep> editorWalkInSteps();
// Once the editor shows: the element menu's own entry.
std::span<const ServiceStep> editorSelectSteps();
// "Exit without saving": out of the editor and its menu, the front keys back.
std::span<const ServiceStep> editorExitSteps();

// What the steps act on: the window in the program, recorders in tests.
class ServiceActions {
  public:
    virtual ~ServiceActions() = default;
    // Presses a key; done runs once the exchange is over, whatever the controller said.
    virtual void key(std::uint8_t code, bool flag, bool enableExchange,
                     std::function<void()> done) = 0;
    // Presses the return key the window shows its display with; done runs once its exchange is
    // over, so what follows (a wait above all) is timed from there, as every key's is.
    virtual void returnKey(std::function<void()> done) = 0;
    // A pause of the sequence begins and ends: the controller is left alone meanwhile.
    virtual void pauseStarted(std::chrono::milliseconds /*duration*/) {}
    virtual void pauseEnded() {}
    virtual void hideFrontKeys() = 0;
    virtual void showFrontKeys() = 0;
    virtual void show(ServiceScreen screen) = 0;
    virtual void hide(ServiceScreen screen) = 0;
    virtual void factoryLines() = 0;
    // CurrentFrequency as the link knows it when the step runs.
    virtual std::uint32_t currentFrequency() const = 0;
    // True once nothing more may be sent (the window is closing): the sequence ends there.
    virtual bool abandoned() const { return false; }
};

// The answer yes to the function's question: what a confirmed request runs after the opening.
// Nothing for the element editor, which has no question.
std::optional<ServiceAnswer> yesAnswer(ServiceFunction function);

// Why a function walked past keys the controller did not answer may not have done its work:
// "the controller did not answer 2 of 5 keys: retract may not have run as it should".
std::string unansweredKeysText(int unanswered, int keys, std::string_view function);

}  // namespace kt6
