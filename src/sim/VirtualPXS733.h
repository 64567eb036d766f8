#pragma once

#include "SimIC.h"

#include <array>
#include <optional>

// A PXS733 as its dongle sees it. Powered by the dongle's supply commands; a test-mode
// entry starts it from cold and makes register 0x0F read 0xA5 until a read of that register
// with a stop condition ends test mode. In test mode registers 0x10..0x14 are the five
// configuration banks (bank 1 bit 2 is the STREAM bit), loaded from the fuses at every
// power-up; the fuse command, read-back and data registers (0x0A, 0x0B, 0x2B) read, verify
// and burn the six fuse banks; the indirect space behind the pointer register 0xFC holds the
// strap settings. Running, it produces believable data in its memory map: counts near 1000
// with a little noise, an LTA that follows slowly, and periodic or scripted proximity and
// touch events that pull the count away from the LTA and raise the activation and movement
// flags. Over 1-Wire it streams a fixed 20-byte sample; over I2C it streams the addresses
// asked for, and only when its STREAM bit is set.
class TVirtualPXS733 : public TSimIC {
public:
    // Memory-map addresses of the values it streams.
    enum Address : quint8 {
        SystemFlags = 0x10,
        Count0 = 0x42,
        Count1 = 0x44,
        LTA0 = 0x83,
        LTA1 = 0x85,
        Multipliers0 = 0xC5,
        Compensation0 = 0xC7,
    };
    enum Flag : quint8 {
        FlagIsCh0 = 0x08,
        FlagFilterHalt = 0x10,
        FlagMovement = 0x40,
        FlagActivation = 0x80
    };
    static constexpr quint8 StreamBit = 0x04; // in bank 1
    static constexpr std::array<quint8, 6> DefaultFuses{0x48, 0x01, 0x24, 0x03, 0x00, 0x00};

    TVirtualPXS733();

    // What the tests look at.
    bool Powered() const { return FPowered; }
    bool InTestMode() const { return FTestMode; }
    int BurnPulses() const { return FBurnPulses; }
    const std::array<quint8, 5>& Banks() const { return FBanks; }
    quint8 Indirect(quint8 Address) const { return FIndirect[Address]; }
    void SetIndirect(quint8 Address, quint8 Value) { FIndirect[Address] = Value; }

    // A touch starting now, Depth counts deep (pressed and released in a quarter of a second,
    // held in between); periodic events come on their own.
    void Touch(double Duration, int Depth);
    // Periodic events every Period seconds; 0 turns them off.
    void SetEventPeriod(double Period) { FEventPeriod = Period; }

    void SetPower(bool On) override;
    void SetLink(quint8 CommsTypeCode) override;
    quint8 EnterTestMode(const QByteArray& Arguments) override;
    void Write(const QByteArray& Bytes, bool Stop) override;
    QByteArray Read(int Count, bool Stop) override;
    void BurnPulse(const QByteArray& Bytes) override;
    bool Streams() const override;
    QByteArray Sample(const QByteArray& AddressList) override;
    void Advance(double Seconds) override;

private:
    quint8 ReadRegister(quint8 Address) const;
    void WriteRegister(quint8 Address, quint8 Value);
    void FuseCommand(quint8 Command);
    void Put16(quint8 Address, int Value);
    double Noise();

    bool FPowered = false;
    bool FTestMode = false;
    bool FOneWire = true;
    std::array<quint8, 256> FMap{};
    std::array<quint8, 256> FIndirect{};
    std::array<quint8, 6> FFuses = DefaultFuses;
    std::array<quint8, 5> FBanks{};
    quint8 FPointer = 0;
    bool FIndirectRead = false;
    quint8 FIndirectPointer = 0;
    quint8 FFuseReadBack = 0;
    quint8 FBurnData = 0;
    int FUnlockStep = 0;
    std::optional<int> FArmedBank;
    int FBurnPulses = 0;

    double FTime = 0;
    double FCount = 1000, FLTA = 1000, FCount1 = 1200, FLTA1 = 1200;
    double FPreviousDepth = 0;
    double FEventPeriod = 6, FEventDuration = 2;
    double FScriptedStart = -1, FScriptedDuration = 0;
    int FEventDepth = 120, FScriptedDepth = 0;
    quint32 FRandom = 0x733;
};
