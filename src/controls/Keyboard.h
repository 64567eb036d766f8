#pragma once

class QKeyEvent;

enum class TShiftSide { None, Left, Right };

// Which Shift key a key event is about, from the platform's key code.
TShiftSide ShiftSideOf(const QKeyEvent& Event);
