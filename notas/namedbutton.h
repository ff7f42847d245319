#pragma once

#include <QString>

class QPushButton;
class QWidget;

// A push button with the name a screen reader speaks. It never becomes a
// dialog's default, so Intro in a field of the window's dialogs does not
// press whichever button last had the focus.
QPushButton* namedButton(const QString& text, const QString& accessibleName, QWidget* parent);
