#include "core/service_sequences.h"

#include "link/commands.h"

#include <array>

namespace kt6 {

namespace {

using Op = ServiceStep::Op;
using S = ServiceScreen;

constexpr ServiceStep key(int code) {
    return {Op::Key, code};
}
constexpr ServiceStep keyFlag(int code) {
    return {Op::Key, code, true};
}
constexpr ServiceStep pause(std::chrono::milliseconds d) {
    return {Op::Pause, static_cast<int>(d.count())};
}
constexpr ServiceStep show(S s) {
    return {Op::Show, 0, false, s};
}
constexpr ServiceStep hide(S s) {
    return {Op::Hide, 0, false, s};
}
constexpr ServiceStep op(Op o) {
    return {o};
}

constexpr ServiceStep kCalibrateOpening[] = {
    op(Op::ReturnKey),    op(Op::HideFrontKeys), op(Op::HideQuestions),   keyFlag(keys::kReturn),
    pause(kMenuKeyPause), key(keys::kMenu),      pause(kMenuKeyPause),    key(keys::kYes),
    pause(kMenuKeyPause), key(keys::kYes),       show(S::Panel_calibrate)};
constexpr ServiceStep kFactoryOpening[] = {
    op(Op::ReturnKey),    op(Op::HideFrontKeys), op(Op::HideQuestions), key(keys::kReturn),
    pause(kMenuKeyPause), key(keys::kMenu),      pause(kMenuKeyPause),  key(keys::k17m),
    pause(kMenuKeyPause), key(keys::kYes),       show(S::Panel_factory)};
// The front keys stay up while the walk runs and go once the question shows.
constexpr ServiceStep kRetractOpening[] = {
    op(Op::ReturnKey), op(Op::HideQuestions),  key(keys::kReturn),   pause(kMenuKeyPause),
    key(keys::kMenu),  pause(kMenuKeyPause),   key(keys::kYes),      pause(kMenuKeyPause),
    key(keys::k40m),   show(S::Panel_Retract), op(Op::HideFrontKeys)};
// At frequency 0 a flagged return is the controller's own way into its test question.
constexpr ServiceStep kTestOpening[] = {op(Op::HideFrontKeys), op(Op::HideQuestions),
                                        keyFlag(keys::kReturn), show(S::Panel_test)};

constexpr ServiceStep kEditorWalkIn[] = {
    op(Op::ReturnKey),    op(Op::HideFrontKeys), op(Op::HideQuestions), key(keys::kReturn),
    pause(kMenuKeyPause), key(keys::kMenu),      pause(kMenuKeyPause),  key(keys::k15m)};

constexpr ServiceStep kEditorSelect[] = {pause(kMenuKeyPause), key(keys::k15m)};
constexpr ServiceStep kEditorExit[] = {op(Op::ShowFrontKeys), key(keys::kMenu),
                                       pause(kEditorExitPause), key(keys::kMenu)};

constexpr ServiceStep kCalibrateYes[] = {key(keys::kYes),
                                         hide(S::Panel_calibrate),
                                         show(S::Calibrate_of_course),
                                         op(Op::ReturnKey),
                                         pause(kCalibrateWait),
                                         op(Op::ReturnKey),
                                         hide(S::Calibrate_of_course),
                                         op(Op::ShowFrontKeys)};
constexpr ServiceStep kCalibrateNo[] = {key(keys::kNo), hide(S::Panel_calibrate), op(Op::ReturnKey),
                                        op(Op::ShowFrontKeys)};
constexpr ServiceStep kFactoryYes[] = {op(Op::FactoryLines), key(keys::kYes),
                                       hide(S::Panel_factory), op(Op::ShowFrontKeys)};
constexpr ServiceStep kFactoryNo[] = {key(keys::kNo), hide(S::Panel_factory), op(Op::ReturnKey),
                                      op(Op::ShowFrontKeys)};
// The opening has enabled exchanges; this key goes out as it finds it.
constexpr ServiceStep kRetractYes[] = {show(S::Retracting_of_course), {Op::KeyAsIs, keys::kYes},
                                       hide(S::Panel_Retract),        op(Op::RetractWait),
                                       hide(S::Retracting_of_course), op(Op::ShowFrontKeys)};
constexpr ServiceStep kRetractNo[] = {key(keys::kNo), hide(S::Panel_Retract),
                                      op(Op::ShowFrontKeys)};
constexpr ServiceStep kTestYes[] = {
    show(S::panel_test_go), key(keys::kYes),      pause(kTestWait),     hide(S::Panel_test),
    hide(S::panel_test_go), show(S::Panel_T_act), op(Op::ShowFrontKeys)};
constexpr ServiceStep kTestNo[] = {key(keys::kNo), hide(S::Panel_test), op(Op::ShowFrontKeys)};
constexpr ServiceStep kTestActiveYes[] = {show(S::panel_test_go), key(keys::kMenu),
                                          pause(kTestWait), hide(S::Panel_T_act),
                                          hide(S::panel_test_go)};

struct RetractWindow {
    std::uint32_t lowKHz;
    std::uint32_t highKHz;
    std::chrono::milliseconds wait;
};
// Both bounds included; no two windows overlap.
constexpr std::array<RetractWindow, 6> kRetractWindows = {{
    {49000, 51000, std::chrono::milliseconds(7000)},
    {27000, 30000, std::chrono::milliseconds(12000)},
    {23000, 26000, std::chrono::milliseconds(14000)},
    {20000, 22000, std::chrono::milliseconds(15000)},
    {17000, 19000, std::chrono::milliseconds(16000)},
    {13000, 15000, std::chrono::milliseconds(22000)},
}};

}  // namespace

bool FunctionGuard(const GuardState& s) {
    return s.replied && s.frequency != 0 && !s.portPromptVisible && !s.elementsMoving;
}

std::optional<std::string_view> guardRefusal(ServiceFunction function, const GuardState& s) {
    if (s.portPromptVisible) return "Select a valid port first (Com port menu).";
    // The frequency of 0 it starts with would read as "retracted", which nobody said.
    if (!s.replied) return "The controller has not answered yet";
    if (s.elementsMoving) return "The elements are moving: wait until they stop.";
    if (function == ServiceFunction::TestElements) {
        if (s.frequency != 0) return "Only with the elements retracted (Functions > Retract).";
        return std::nullopt;
    }
    if (s.frequency == 0) return "The elements are retracted: select a band first.";
    return std::nullopt;
}

std::chrono::milliseconds retractWait(std::uint32_t kHz) {
    for (const auto& w : kRetractWindows) {
        if (kHz >= w.lowKHz && kHz <= w.highKHz) return w.wait;
    }
    return kRetractFallbackWait;
}

std::span<const ServiceStep> openingSteps(ServiceFunction function) {
    switch (function) {
        case ServiceFunction::Calibrate:
            return kCalibrateOpening;
        case ServiceFunction::FactoryDefault:
            return kFactoryOpening;
        case ServiceFunction::Retract:
            return kRetractOpening;
        case ServiceFunction::TestElements:
            return kTestOpening;
        case ServiceFunction::ModifyElements:
            return kEditorWalkIn;
    }
    return {};
}

std::span<const ServiceStep> editorWalkInSteps() {
    return kEditorWalkIn;
}

std::span<const ServiceStep> editorSelectSteps() {
    return kEditorSelect;
}

std::span<const ServiceStep> editorExitSteps() {
    return kEditorExit;
}

std::span<const ServiceStep> answerSteps(ServiceAnswer answer) {
    switch (answer) {
        case ServiceAnswer::CalibrateYes:
            return kCalibrateYes;
        case ServiceAnswer::CalibrateNo:
            return kCalibrateNo;
        case ServiceAnswer::FactoryYes:
            return kFactoryYes;
        case ServiceAnswer::FactoryNo:
            return kFactoryNo;
        case ServiceAnswer::RetractYes:
            return kRetractYes;
        case ServiceAnswer::RetractNo:
            return kRetractNo;
        case ServiceAnswer::TestYes:
            return kTestYes;
        case ServiceAnswer::TestNo:
            return kTestNo;
        case ServiceAnswer::TestActiveYes:
            return kTestActiveYes;
    }
    return {};
}

std::optional<ServiceAnswer> yesAnswer(ServiceFunction function) {
    switch (function) {
        case ServiceFunction::Calibrate:
            return ServiceAnswer::CalibrateYes;
        case ServiceFunction::FactoryDefault:
            return ServiceAnswer::FactoryYes;
        case ServiceFunction::Retract:
            return ServiceAnswer::RetractYes;
        case ServiceFunction::TestElements:
            return ServiceAnswer::TestYes;
        case ServiceFunction::ModifyElements:
            break;
    }
    return std::nullopt;
}

std::string unansweredKeysText(int unanswered, int keys, std::string_view function) {
    return "the controller did not answer " + std::to_string(unanswered) + " of " +
           std::to_string(keys) + " keys: " + std::string(function) +
           " may not have run as it should";
}

}  // namespace kt6
