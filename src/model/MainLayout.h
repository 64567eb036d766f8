#pragma once

#include <QRect>

// Geometry rules of the main window that need no widget.
namespace MainLayout {

// The window as designed: client size, the two side columns and the centre container.
inline constexpr int DesignWidth = 1252;
inline constexpr int DesignHeight = 669;
inline constexpr int LeftColumnWidth = 267;
inline constexpr int RightColumnWidth = 303;
inline constexpr QRect DesignContainer{272, 4, 669, 640};
inline constexpr int ContainerBottomMargin = DesignHeight - 4 - 640;

// The centre column after a resize: keeps a gap of 5 to 8 pixels to the right-hand column
// and fits into the window's outer and client heights.
QRect ContainerAfterResize(QRect Container, int RightColumnLeft, int OuterHeight, int ClientHeight);

// Left edges of the controls under the bars, from the pixel position of the value 0 on the
// bar graph's bottom axis.
struct TChannelLabelLefts {
    int Shape;  // CH0PTShape
    int Label;  // CH0Label
    int Values; // CS0Lbl, LTA0Lbl, DT0Lbl, PCC0Label, Comp0Label, Sens0Label
};
TChannelLabelLefts ChannelLabelLefts(int X0, bool HighDpi);

// The activation and movement lamps: the first this far right of the values' left edge, the
// second this far right of the first (as designed: values at 364, lamps at 440 and 520).
inline constexpr int ValuesToLamps = 76;
inline constexpr int LampSpacing = 80;

} // namespace MainLayout
