#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

// The sensor IC behind a virtual dongle, as the dongle sees it: a supply, a test-mode entry,
// write and read transfers on the comms link, and a memory map that streaming samples.
class TSimIC {
public:
    virtual ~TSimIC() = default;

    virtual void SetPower(bool /*On*/) {}
    // Test-mode entry pulse from the dongle; the error number (low byte) or 0.
    virtual quint8 EnterTestMode(const QByteArray& /*Arguments*/) { return 0; }
    // One write transfer: the first byte addresses a register, the others are written from
    // there on. A transfer that follows one without a stop condition goes on writing where
    // that one ended. Stop tells whether this transfer ends with a stop condition.
    virtual void Write(const QByteArray& Bytes, bool Stop) = 0;
    // One read transfer from the addressed register on.
    virtual QByteArray Read(int Count) = 0;
    // A burn pulse of the fuse programmer.
    virtual void BurnPulse(const QByteArray& /*Bytes*/) {}
    // One streaming sample for the dongle's address list, and whether the IC streams at all.
    virtual QByteArray Sample(const QByteArray& AddressList) = 0;
    virtual bool Streams() const { return true; }
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
    QByteArray Read(int Count) override;
    QByteArray Sample(const QByteArray& AddressList) override;

    quint8 Pointer() const { return FPointer; }

private:
    quint8 FPointer = 0;
    bool FContinuing = false; // the last write ended without a stop
};
