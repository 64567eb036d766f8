#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

// The sensor IC behind a virtual dongle, as the dongle sees it: a supply, the link type,
// a test-mode entry, write and read transfers, burn pulses, and a memory map that
// streaming samples.
class TSimIC {
public:
    virtual ~TSimIC() = default;

    virtual void SetPower(bool /*On*/) {}
    // The comms type the dongle was set up with (its wire code).
    virtual void SetLink(quint8 /*CommsTypeCode*/) {}
    // Test-mode entry pulse from the dongle; an error number (low byte of the code) or 0.
    virtual quint8 EnterTestMode(const QByteArray& /*Arguments*/) { return 0; }
    // One write transfer: the first byte addresses a register, the others are written from
    // there on. Stop tells whether the transfer ends with a stop condition.
    virtual void Write(const QByteArray& Bytes, bool Stop) = 0;
    // One read transfer from the addressed register on.
    virtual QByteArray Read(int Count, bool Stop) = 0;
    // A burn pulse of the fuse programmer.
    virtual void BurnPulse(const QByteArray& /*Bytes*/) {}
    // Whether the IC streams now, and one sample for the dongle's address list.
    virtual bool Streams() const { return true; }
    virtual QByteArray Sample(const QByteArray& AddressList) = 0;
    // Samples lost just before the last one (a replayed gap): the dongle's counter skips them.
    virtual int LostBeforeSample() const { return 0; }
    // Time passes: seconds since streaming started.
    virtual void Advance(double /*Seconds*/) {}
};

// A plain register array: 256 bytes with an auto-incrementing pointer. Its streaming table
// is its memory in address order: a list byte other than 0 jumps to that address, 0 takes
// the next one (the first 0 takes address 0x10, the start of the streamed area).
class TRegisterIC : public TSimIC {
public:
    std::array<quint8, 256> Memory{};

    void Write(const QByteArray& Bytes, bool Stop) override;
    QByteArray Read(int Count, bool Stop) override;
    QByteArray Sample(const QByteArray& AddressList) override;

private:
    quint8 FPointer = 0;
};
