#pragma once
// A screen laid over the display, for assistive technology as a message box is: a screen reader
// meets it by its role, reads its text as its name and the rest of its lines as its
// description.
#include <QAccessible>

class QWidget;

namespace kt6 {

// From now on screen is met with this role (AlertMessage for a question or a wait, Dialog for
// a screen worked at length). Its name is its accessible name, or else its first shown line;
// its description its accessible description, or else its other shown lines in order.
void describeScreen(QWidget* screen, QAccessible::Role role);

}  // namespace kt6
