#pragma once
// What assistive technology may see of the window and do with it: a key is pressed through it
// only while the key is on screen, and the helpers the window keeps for their state and handlers
// (the hidden strip, the buttons below the picture) are neither shown to it nor pressed by it.
class QWidget;

namespace kt6 {

// Puts the console's accessible interfaces in place; once per process is enough, and it must
// come before a control of the window is first asked for its interface.
void installConsoleAccessibility();

// The widget and everything on it exist for their state and handlers only: the widget holding
// it no longer lists it to assistive technology, which, asked about it all the same, finds it
// invisible, with no children and no action to take. Code may still click it.
void keepFromAssistiveTechnology(QWidget* widget);

// A key and the lit face lying over it on panel (KeyButton::setLitFaceOf) are one key to
// assistive technology: walking the panel meets the one standing for both, never the two.
void listLitFacesAsTheirKeys(QWidget* panel);

// The widget is where the window speaks up: assistive technology knows it as a notification,
// named by its accessible name (a label without one by its text), and announceNow() has a screen
// reader read that name out wherever the operator's focus is.
void makeAnnouncer(QWidget* widget);
// Tells assistive technology the announcer has something new to say: its name, read now.
void announceNow(QWidget* announcer);

// A child of holder that a shown sibling stacked above it covers whole is not listed to
// assistive technology: only the top screen, and what it leaves uncovered, is met.
// (listLitFacesAsTheirKeys does the same for the panel it sorts.)
void listOnlyWhatShows(QWidget* holder);

}  // namespace kt6
