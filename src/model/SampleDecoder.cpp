#include "SampleDecoder.h"

namespace {

const QString NotAvailable = QStringLiteral("N/A");

} // namespace

TDecodedSample DecodeSample(const quint8* Data, int Size, const TStreamLayout& Layout,
                            bool Comms1Wire, const TStreamChoice& Choice) {
    auto inSample = [Size](const TValuePlace& Place) {
        return Place.High >= 0 && Place.High < Size && Place.Low < Size;
    };
    auto find = [&](TStreamValue Value) -> std::optional<TValuePlace> {
        const auto place = Layout.Find(Value, Comms1Wire, Choice);
        if (!place || !inSample(*place)) return std::nullopt;
        return place;
    };
    auto word = [Data](const TValuePlace& Place) {
        return Data[Place.High] << 8 | Data[Place.Low];
    };
    auto byte = [&](TStreamValue Value) -> std::optional<quint8> {
        const auto place = find(Value);
        return place ? std::optional<quint8>(Data[place->High]) : std::nullopt;
    };

    TDecodedSample sample;
    const auto count0 = find(TStreamValue::Count0);
    const auto count1 = find(TStreamValue::Count1);
    if (count0 && count1) {
        sample.CountShown = true;
        sample.Counts = {word(*count0), word(*count1)};
    }
    const auto lta0 = find(TStreamValue::LTA0);
    const auto lta1 = find(TStreamValue::LTA1);
    if (lta0 && lta1) {
        sample.LTAShown = true;
        sample.LTAs = {word(*lta0), word(*lta1)};
    }
    sample.Compensation = byte(TStreamValue::Compensation0);
    sample.Multipliers = byte(TStreamValue::Multipliers0);
    sample.SysFlags = byte(TStreamValue::SystemFlags);
    return sample;
}

QString FlagName(int Bit) {
    static const char* const Names[8] = {"Zoom",        "RF Noise",   "ATI Busy", "Is CH0",
                                         "Filter Halt", "Long Timer", "Movement", "Activation"};
    return QString::fromLatin1(Names[Bit & 7]);
}

QString FlagCaption(int Bit, bool Set) {
    static const char* const Captions[8][2] = {
        {"Not Active", "Active"},  {"Not Detected", "Detected"},
        {"Not Busy", "Busy"},      {"No", "Yes"},
        {"Disabled", "Enabled"},   {"Disabled", "Enabled"},
        {"No Movement", "Moving"}, {"Not Active", "Active"},
    };
    return QString::fromLatin1(Captions[Bit & 7][Set ? 1 : 0]);
}

TChannelDisplay ChannelDisplay(const TDecodedSample& Sample, quint8 Multipliers, bool Activation,
                               bool BaselineView) {
    TChannelDisplay display;
    const int count = Sample.Counts[0];
    const int lta = Sample.LTAs[0];
    const int delta = lta - count;
    display.Count = Sample.CountShown && !BaselineView ? QString::number(count) : NotAvailable;
    display.LTA = Sample.LTAShown && !BaselineView ? QString::number(lta) : NotAvailable;
    display.Delta = Sample.CountShown && Sample.LTAShown ? QString::number(delta) : NotAvailable;
    if (Sample.CountShown) display.CountBar = BaselineView ? (Sample.LTAShown ? delta : 0) : count;
    if (Sample.LTAShown) display.LTABar = BaselineView ? (Sample.CountShown ? delta : 0) : lta;
    display.CountColour = Activation ? TRgb{0, 107, 215} : TRgb{180, 180, 180};
    display.LTAColour = Activation ? TRgb{0, 64, 128} : TRgb{98, 98, 98};
    display.Sensitivity = (Multipliers & 0x30) >> 4;
    display.CompMultiplier = Multipliers & 0x0F;
    return display;
}
