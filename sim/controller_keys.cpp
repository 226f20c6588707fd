// The front panel and the menus of the simulated controller. The eight band keys double as
// soft keys below the display once a menu is up: the menu paths are the ones the console's
// service functions walk (8 opens the menu; 6 service, 4 band data, 3 elements).
#include <algorithm>

#include "sim/bands.h"
#include "sim/controller.h"

namespace kt6::sim {
namespace {

bool isBandKey(std::uint8_t key) {
    return key < kBands.size();
}

// The editor's keys by reply word: "+" on the top row, "-" on the bottom row of each column.
struct EditorKey {
    std::uint8_t key;
    std::size_t word;
    int direction;
};
constexpr std::array<EditorKey, 8> kEditorKeys = {{
    {3, 3, +1},
    {7, 3, -1},  // director 2
    {2, 1, +1},
    {6, 1, -1},  // director 1
    {1, 0, +1},
    {5, 0, -1},  // driver
    {0, 2, +1},
    {4, 2, -1},  // reflector
}};

}  // namespace

Status Controller::pressKey(std::uint8_t key, bool flagged, TimePoint now) {
    if (key > keys::kReturn && key != keys::kBandLamp) return Status::OutOfRange;
    if (key == keys::kPower) {
        displayOff_ = !displayOff_;
        return Status::Done;
    }
    switch (screen_) {
        case Screen::Main:
            mainScreenKey(key, now);
            break;
        case Screen::Retracted:
            retractedKey(key, flagged, now);
            break;
        case Screen::TestQuestion:
            testQuestionKey(key, now);
            break;
        case Screen::Menu:
        case Screen::ServiceMenu:
        case Screen::BandDataMenu:
        case Screen::ElementMenu:
            menuKey(key);
            break;
        case Screen::CalibrateQuestion:
        case Screen::RetractQuestion:
        case Screen::FactoryQuestion:
            questionKey(key, now);
            break;
        case Screen::Editor:
            editorKey(key, now);
            break;
        case Screen::SaveQuestion:
            saveQuestionKey(key, now);
            break;
        case Screen::TestActive:
            // Leaving the test, by its "yes" or by going home, brings the tapes back in.
            if (key == keys::kMenu || key == keys::kReturn) retract(now);
            break;
        case Screen::Calibrating:
            // The homing runs on whether or not anyone watches it.
            if (key == keys::kReturn) goHome();
            break;
    }
    return Status::Done;
}

void Controller::goHome() {
    screen_ = frequency_ == 0 ? Screen::Retracted : Screen::Main;
}

void Controller::mainScreenKey(std::uint8_t key, TimePoint now) {
    if (isBandKey(key)) {
        selectBand(key, now);
    } else if (key == keys::kUp) {
        stepFrequency(+1, now);
    } else if (key == keys::kDown) {
        stepFrequency(-1, now);
    } else if (key == keys::kDirection) {
        heading_ = static_cast<std::uint8_t>((heading_ + 1) % 3);
        retune(now);
    } else if (key == keys::kMenu) {
        screen_ = Screen::Menu;
    } else if (key == keys::kReturn) {
        goHome();
    }
}

void Controller::retractedKey(std::uint8_t key, bool flagged, TimePoint now) {
    // A flagged return asks whether to test the elements (the console's "Test elements");
    // a band key tunes out of the retracted state.
    if (key == keys::kReturn && flagged) {
        screen_ = Screen::TestQuestion;
    } else if (isBandKey(key)) {
        selectBand(key, now);
    } else if (key == keys::kMenu) {
        screen_ = Screen::Menu;
    }
}

void Controller::testQuestionKey(std::uint8_t key, TimePoint now) {
    if (key == keys::kYes) {
        testActive_ = true;
        screen_ = Screen::TestActive;
        retune(now);
    } else if (key == keys::kNo || key == keys::kReturn) {
        screen_ = Screen::Retracted;
    }
}

void Controller::menuKey(std::uint8_t key) {
    if (key == keys::kReturn) {
        goHome();
        return;
    }
    switch (screen_) {
        case Screen::Menu:
            if (key == 6) screen_ = Screen::ServiceMenu;
            if (key == 4) screen_ = Screen::BandDataMenu;
            if (key == 3) screen_ = Screen::ElementMenu;
            if (key == keys::kMenu) goHome();
            break;
        case Screen::ServiceMenu:
            if (key == 6) screen_ = Screen::CalibrateQuestion;
            if (key == 7) screen_ = Screen::RetractQuestion;
            if (key == keys::kMenu) screen_ = Screen::Menu;
            break;
        case Screen::BandDataMenu:
            if (key == 6) screen_ = Screen::FactoryQuestion;
            if (key == keys::kMenu) screen_ = Screen::Menu;
            break;
        case Screen::ElementMenu:
            // Lengths belong to a band: nothing to edit with the tapes in.
            if (key == 3 && frequency_ != 0) {
                editing_ = true;
                editOffsets_ = storedOffsets(memory(), bandIndex_);
                screen_ = Screen::Editor;
            }
            if (key == keys::kMenu) screen_ = Screen::Menu;
            break;
        default:
            break;
    }
}

void Controller::questionKey(std::uint8_t key, TimePoint now) {
    if (key == keys::kNo || key == keys::kReturn) {
        goHome();
        return;
    }
    if (key != keys::kYes) return;
    switch (screen_) {
        case Screen::CalibrateQuestion:
            calibrate(now);
            screen_ = Screen::Calibrating;
            break;
        case Screen::RetractQuestion:
            retract(now);
            break;
        case Screen::FactoryQuestion:
            recallFactoryBandData(now);
            goHome();
            break;
        default:
            break;
    }
}

void Controller::editorKey(std::uint8_t key, TimePoint now) {
    if (key == keys::kMenu) {
        screen_ = Screen::SaveQuestion;
        return;
    }
    if (key == keys::kReturn) {
        closeEditor(false, now);
        return;
    }
    for (const auto& k : kEditorKeys) {
        if (k.key == key) stepElement(k.word, k.direction, now);
    }
}

void Controller::saveQuestionKey(std::uint8_t key, TimePoint now) {
    if (key == keys::kYes) closeEditor(true, now);
    if (key == keys::kMenu || key == keys::kNo || key == keys::kReturn) closeEditor(false, now);
}

void Controller::stepElement(std::size_t word, int direction, TimePoint now) {
    const Lengths before = lengths();
    // An element the antenna does not have stays at 0.
    if (before[word] == 0) return;
    const int wanted = before[word] + direction * kEditStepMm;
    // The limit is that of the element the word carries, which a reversed heading swaps.
    const std::size_t element = logicalElement(word, heading_, frequency_);
    if (wanted < minLength(memory()) || wanted > maxLength(memory(), element)) return;
    editOffsets_[element] += direction * kEditStepMm;
    retune(now);
}

void Controller::closeEditor(bool store, TimePoint now) {
    if (store) {
        storeOffsets(memory(), bandIndex_, editOffsets_);
        memoryChanged();
    }
    editing_ = false;
    goHome();
    retune(now);
}

void Controller::selectBand(std::uint8_t bandKey, TimePoint now) {
    const auto band = bandOfKey(bandKey);
    if (!band) return;
    tuneTo(bandFrequency_[band->key], now);
    screen_ = Screen::Main;
}

void Controller::stepFrequency(int direction, TimePoint now) {
    const auto band = bandOf(frequency_);
    if (!band) return;
    const int next = std::clamp(frequency_ + direction * kFrequencyStepKHz,
                                static_cast<int>(band->lowKHz), static_cast<int>(band->highKHz));
    tuneTo(static_cast<std::uint16_t>(next), now);
}

}  // namespace kt6::sim
