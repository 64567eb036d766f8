#pragma once

class QKeyEvent;

// True while a Shift key is down.
bool IsShiftPressed();

enum class TShiftSide { None, Left, Right };

// Which Shift key a key event is about, from the platform's key code.
TShiftSide ShiftSideOf(const QKeyEvent& Event);
