#include "VirtualPXS733.h"

#include <algorithm>
#include <cmath>

namespace {

// The version as the application reads it: product number, then software number.
constexpr quint8 ProductRegister = 0x00;
constexpr quint8 SoftwareRegister = 0x01;
constexpr quint8 FuseCommandRegister = 0x0A;
constexpr quint8 FuseReadBackRegister = 0x0B;
constexpr quint8 TestModeRegister = 0x0F;
constexpr quint8 FirstBankRegister = 0x10;
constexpr quint8 FuseDataRegister = 0x2B;
constexpr quint8 VersionHigh2 = 0x34;
constexpr quint8 VersionLow2 = 0x35;
constexpr quint8 IndirectPointerRegister = 0xFC;
constexpr quint8 TestModeMarker = 0xA5;
constexpr quint8 ProductNumber = 0x0B;
constexpr quint8 SoftwareNumber = 0x03;

// The addresses the IC can stream, in the order an address list walks them.
constexpr quint8 StreamTable[] = {0x10, 0x42, 0x43, 0x83, 0x84, 0x44, 0x45, 0x85,
                                  0x86, 0x46, 0x47, 0x60, 0x61, 0x62, 0x63, 0xC4,
                                  0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC};
constexpr int OneWireSampleLength = 20;
constexpr quint8 OneWireLeadByte = ProductNumber;

// Comms type wire codes that are 1-Wire links.
constexpr quint8 Link631 = 2;
constexpr quint8 LinkUart1Wire = 6;

constexpr double LTATimeConstant = 8.0; // seconds
constexpr int ActivationThreshold = 40;
constexpr int MovementThreshold = 6;
constexpr double MovementRate = 40.0; // counts per second

} // namespace

TVirtualPXS733::TVirtualPXS733() {
    FIndirect[0x53] = 0x0A; // activation threshold
    FIndirect[0x79] = 0x14; // short timer
    FIndirect[0x7A] = 0x32; // long timer
    FIndirect[0xDF] = 0x05; // movement threshold
    FMap[ProductRegister] = ProductNumber;
    FMap[SoftwareRegister] = SoftwareNumber;
    FMap[VersionHigh2] = ProductNumber;
    FMap[VersionLow2] = SoftwareNumber;
    FMap[0x60] = ActivationThreshold;
    FMap[0x61] = 80;
    FMap[0x62] = MovementThreshold;
    FMap[0x63] = 20;
    FMap[Multipliers0] = 0x25;
    FMap[Compensation0] = 0x5A;
    FMap[0xC4] = 0x01;
    FMap[0xC6] = 0x25;
    FMap[0xC8] = 0x5A;
}

void TVirtualPXS733::Touch(double Duration, int Depth) {
    FScriptedStart = FTime;
    FScriptedDuration = Duration;
    FScriptedDepth = Depth;
}

void TVirtualPXS733::SetPower(bool On) {
    FPowered = On;
    FTestMode = false;
    FIndirectRead = false;
    FArmedBank.reset();
    FUnlockStep = 0;
    if (On) std::copy_n(FFuses.begin(), FBanks.size(), FBanks.begin()); // a cold start
}

void TVirtualPXS733::SetLink(quint8 CommsTypeCode) {
    FOneWire = CommsTypeCode == Link631 || CommsTypeCode == LinkUart1Wire;
}

quint8 TVirtualPXS733::EnterTestMode(const QByteArray& /*Arguments*/) {
    FTestMode = true;
    return 0;
}

quint8 TVirtualPXS733::ReadRegister(quint8 Address) const {
    if (Address == TestModeRegister) return FTestMode ? TestModeMarker : 0;
    if (Address == FuseReadBackRegister) return FFuseReadBack;
    if (FTestMode && Address >= FirstBankRegister && Address < FirstBankRegister + FBanks.size())
        return FBanks[Address - FirstBankRegister];
    return FMap[Address];
}

void TVirtualPXS733::WriteRegister(quint8 Address, quint8 Value) {
    if (FTestMode && Address >= FirstBankRegister && Address < FirstBankRegister + FBanks.size()) {
        FBanks[Address - FirstBankRegister] = Value;
        return;
    }
    switch (Address) {
    case FuseCommandRegister:
        FuseCommand(Value);
        return;
    case FuseDataRegister:
        FBurnData = Value;
        return;
    case 0x0E:
        FUnlockStep = Value == 0x05 ? 1 : 0;
        return;
    case TestModeRegister:
        FUnlockStep = FUnlockStep == 1 && Value == 0x0F ? 2 : 0;
        return;
    default:
        FMap[Address] = Value;
    }
}

void TVirtualPXS733::FuseCommand(quint8 Command) {
    const int low = Command & 0x0F;
    const int banks = int(FFuses.size());
    switch (Command & 0xF0) {
    case 0x10: // read bank
    case 0x90: // verify-read bank
        if (low < banks) FFuseReadBack = FFuses[size_t(low)];
        return;
    case 0x60: // burn bank 0x68 + n, armed only after the unlock sequence
        if (low >= 8 && low - 8 < banks && FUnlockStep == 3) FArmedBank = low - 8;
        return;
    }
}

void TVirtualPXS733::Write(const QByteArray& Bytes, bool /*Stop*/) {
    if (!FPowered || Bytes.isEmpty()) return;
    FPointer = quint8(Bytes[0]);
    FIndirectRead = false;
    if (FPointer == IndirectPointerRegister && Bytes.size() >= 2) {
        FIndirectPointer = quint8(Bytes[1]);
        if (Bytes.size() >= 3)
            FIndirect[FIndirectPointer] = quint8(Bytes[2]);
        else
            FIndirectRead = true; // the next read comes from the indirect space
        return;
    }
    if (Bytes.size() == 1 && FPointer == 0xE1 && FUnlockStep == 2) FUnlockStep = 3;
    for (int i = 1; i < Bytes.size(); ++i)
        WriteRegister(FPointer++, quint8(Bytes[i]));
}

QByteArray TVirtualPXS733::Read(int Count, bool Stop) {
    QByteArray bytes(Count, '\0');
    if (!FPowered) return bytes;
    if (FIndirectRead) {
        for (int i = 0; i < Count; ++i)
            bytes[i] = char(FIndirect[FIndirectPointer++]);
        FIndirectRead = false;
        return bytes;
    }
    const quint8 first = FPointer;
    for (int i = 0; i < Count; ++i)
        bytes[i] = char(ReadRegister(FPointer++));
    // Reading the marker register with a stop condition ends test mode.
    if (FTestMode && first == TestModeRegister && Stop) FTestMode = false;
    return bytes;
}

void TVirtualPXS733::BurnPulse(const QByteArray& /*Bytes*/) {
    if (!FPowered || !FArmedBank) return;
    ++FBurnPulses;
    FFuses[size_t(*FArmedBank)] |= FBurnData; // a fuse, once blown, stays blown
}

bool TVirtualPXS733::Streams() const {
    return FPowered && !FTestMode && (FOneWire || (FBanks[1] & StreamBit));
}

QByteArray TVirtualPXS733::Sample(const QByteArray& AddressList) {
    if (FOneWire) {
        QByteArray sample(OneWireSampleLength, '\0');
        sample[0] = char(OneWireLeadByte);
        for (int i = 1; i < OneWireSampleLength; ++i)
            sample[i] = char(FMap[StreamTable[i - 1]]);
        return sample;
    }
    QByteArray sample(AddressList.size(), '\0');
    int entry = -1;
    for (int i = 0; i < AddressList.size(); ++i) {
        const quint8 wanted = quint8(AddressList[i]);
        if (wanted != 0) {
            const auto* found = std::find(std::begin(StreamTable), std::end(StreamTable), wanted);
            entry = found != std::end(StreamTable) ? int(found - std::begin(StreamTable)) : entry;
            sample[i] = char(FMap[wanted]);
        } else {
            ++entry;
            sample[i] = entry < int(std::size(StreamTable)) ? char(FMap[StreamTable[entry]]) : '\0';
        }
    }
    return sample;
}

double TVirtualPXS733::Noise() {
    // xorshift: repeatable noise of about +-3 counts
    FRandom ^= FRandom << 13;
    FRandom ^= FRandom >> 17;
    FRandom ^= FRandom << 5;
    return (double(FRandom % 7000) / 1000.0) - 3.5;
}

void TVirtualPXS733::Put16(quint8 Address, int Value) {
    const int clamped = std::clamp(Value, 0, 0xFFFF);
    FMap[Address] = quint8(clamped >> 8);
    FMap[quint8(Address + 1)] = quint8(clamped);
}

void TVirtualPXS733::Advance(double Seconds) {
    double dt = Seconds - FTime;
    if (dt < 0 || dt > 1) dt = 0.01; // a new stream, or a long pause: carry on from here
    FTime = std::max(Seconds, FTime + dt);

    // The event depth now, as a finger touches: a quick smooth press (a quarter of a second,
    // at most a quarter of the event), held, and as quick a release.
    auto dip = [](double into, double duration, int depth) {
        if (into < 0 || into > duration || duration <= 0) return 0.0;
        const double edge = std::min(0.25, duration / 4);
        const double ramp = std::min({into, duration - into, edge}) / edge; // 0 to 1
        return depth * (1 - std::cos(M_PI * ramp)) / 2;
    };
    double depth = 0;
    if (FEventPeriod > 0)
        depth = dip(std::fmod(FTime, FEventPeriod) - (FEventPeriod - FEventDuration),
                    FEventDuration, FEventDepth);
    depth = std::max(depth, dip(FTime - FScriptedStart, FScriptedDuration, FScriptedDepth));

    // Movement is the noiseless count changing fast.
    const bool moving = dt > 0 && std::abs(depth - FPreviousDepth) / dt > MovementRate;
    FPreviousDepth = depth;
    FCount = 1000 + Noise() - depth;
    FCount1 = 1200 + Noise();
    const bool activated = FLTA - FCount > ActivationThreshold;
    // The LTA follows slowly, and halts while a channel is active.
    if (!activated) FLTA += (FCount - FLTA) * std::min(1.0, dt / LTATimeConstant);
    FLTA1 += (FCount1 - FLTA1) * std::min(1.0, dt / LTATimeConstant);

    quint8 flags = FlagIsCh0;
    if (activated) flags |= FlagActivation | FlagFilterHalt;
    if (moving) flags |= FlagMovement;
    FMap[SystemFlags] = flags;
    Put16(Count0, int(std::lround(FCount)));
    Put16(Count1, int(std::lround(FCount1)));
    Put16(LTA0, int(std::lround(FLTA)));
    Put16(LTA1, int(std::lround(FLTA1)));
}
