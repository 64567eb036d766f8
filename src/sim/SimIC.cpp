#include "SimIC.h"

void TRegisterIC::Write(const QByteArray& Bytes, bool /*Stop*/) {
    if (Bytes.isEmpty()) return;
    FPointer = quint8(Bytes[0]);
    for (int i = 1; i < Bytes.size(); ++i)
        Memory[FPointer++] = quint8(Bytes[i]);
}

QByteArray TRegisterIC::Read(int Count, bool /*Stop*/) {
    QByteArray bytes(Count, '\0');
    for (int i = 0; i < Count; ++i)
        bytes[i] = char(Memory[FPointer++]);
    return bytes;
}

QByteArray TRegisterIC::Sample(const QByteArray& AddressList) {
    constexpr quint8 StreamStart = 0x10;
    QByteArray sample(AddressList.size(), '\0');
    int address = StreamStart - 1;
    for (int i = 0; i < AddressList.size(); ++i) {
        const quint8 entry = quint8(AddressList[i]);
        address = entry != 0 ? entry : (address + 1) & 0xFF;
        sample[i] = char(Memory[size_t(address)]);
    }
    return sample;
}
