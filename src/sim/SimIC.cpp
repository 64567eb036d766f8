#include "SimIC.h"

void TRegisterIC::Write(const QByteArray& Bytes, bool Stop) {
    int first = 0;
    if (!FContinuing && !Bytes.isEmpty())
        FPointer = quint8(Bytes[first++]);
    for (int i = first; i < Bytes.size(); ++i)
        Memory[FPointer++] = quint8(Bytes[i]);
    FContinuing = !Stop;
}

QByteArray TRegisterIC::Read(int Count) {
    FContinuing = false; // a read ends the write before it
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
