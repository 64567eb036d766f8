#pragma once

#include "StreamLayout.h"

#include <QString>

#include <array>
#include <optional>

// The values of one streamed sample that the display shows.
struct TDecodedSample {
    // Counts and LTA of channel indexes 0 and 1; 0 where they are not shown.
    std::array<int, 2> Counts{};
    std::array<int, 2> LTAs{};
    bool CountShown = false; // streamed, in the sample, and "Count Samples" ticked
    bool LTAShown = false;   // likewise with "Long Term Averages (LTA)"
    // Nothing where the value is not streamed: the display keeps its last value.
    std::optional<quint8> Compensation;
    std::optional<quint8> Multipliers;
    std::optional<quint8> SysFlags;
};

// Reads one sample (packet header in bytes 0..2) through the stream layout; Choice is the
// set-up dialog's check boxes as they are now. A value whose bytes lie beyond Size is not shown.
TDecodedSample DecodeSample(const quint8* Data, int Size, const TStreamLayout& Layout,
                            bool Comms1Wire, const TStreamChoice& Choice);

// The system-flags bits, lowest first.
enum TSysFlag : quint8 {
    sfZoom = 0x01,
    sfRFNoise = 0x02,
    sfATIBusy = 0x04,
    sfIsCH0 = 0x08,
    sfFilterHalt = 0x10,
    sfLongTimer = 0x20,
    sfMovement = 0x40,
    sfActivation = 0x80,
};
// The name of a flag bit (0..7) as the indicators panel shows it ("RF Noise").
QString FlagName(int Bit);
// The indicator caption of a flag bit (0..7) when set or clear.
QString FlagCaption(int Bit, bool Set);

// A colour as red, green and blue.
struct TRgb {
    int Red, Green, Blue;
    bool operator==(const TRgb&) const = default;
};

// What the labels and bars under the bar graph show for a sample.
struct TChannelDisplay {
    QString Count; // "N/A" where not shown
    QString LTA;
    QString Delta;
    std::optional<double> CountBar; // no bar where nothing is shown
    std::optional<double> LTABar;
    TRgb CountColour;
    TRgb LTAColour;
    int Sensitivity = 0; // of the multipliers byte
    int CompMultiplier = 0;
};
TChannelDisplay ChannelDisplay(const TDecodedSample& Sample, quint8 Multipliers, bool Activation,
                               bool BaselineView);
