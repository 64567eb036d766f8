#include "Keyboard.h"

#include <QKeyEvent>

namespace {
// X11/Wayland key symbols and the Windows keyboard scan codes of the two Shift keys.
constexpr quint32 KeysymShiftL = 0xFFE1;
constexpr quint32 KeysymShiftR = 0xFFE2;
constexpr quint32 ScanShiftLWindows = 0x2A;
constexpr quint32 ScanShiftRWindows = 0x36;
} // namespace

TShiftSide ShiftSideOf(const QKeyEvent& Event) {
    if (Event.key() != Qt::Key_Shift) return TShiftSide::None;
    const quint32 keysym = Event.nativeVirtualKey();
    const quint32 scan = Event.nativeScanCode();
    if (keysym == KeysymShiftR || scan == ScanShiftRWindows) return TShiftSide::Right;
    if (keysym == KeysymShiftL || scan == ScanShiftLWindows) return TShiftSide::Left;
    return TShiftSide::None;
}
