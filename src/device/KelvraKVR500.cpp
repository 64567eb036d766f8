#include "KelvraKVR500.h"

namespace {
constexpr quint8 IndirectPointer = 0xFC;
constexpr quint8 FuseCommand = 0x0A;
constexpr quint8 FuseReadBack = 0x0B;
constexpr quint8 FuseData = 0x2B;
constexpr quint8 FuseReadBase = 0x10;
constexpr quint8 FuseVerifyBase = 0x90;
constexpr quint8 FuseBurnBase = 0x68;
constexpr quint8 LTAWriteCode = 0xD3;
constexpr quint8 ATIChannelCode = 0xD4;
constexpr quint8 ReadyIO = 7;

// Runs steps until one fails; returns that code or 0.
template <typename... Steps> quint16 Sequence(Steps&&... steps) {
    quint16 result = 0;
    ((result == 0 ? (result = steps(), 0) : 0), ...);
    return result;
}
} // namespace

TKVR500Class::TKVR500Class(QObject* Owner) : QObject(Owner) {}

void TKVR500Class::SetHIDTool(TKelvraHidTool* Value) {
    if (Value == FKVR500HidTool) return;
    FKVR500HidTool = Value;
    for (TSubscription& forwarder : FForwarders)
        forwarder.Reset();
    if (!Value) return;
    FForwarders[0] =
        Value->OnStreaming.Subscribe([this](quint16 Size, quint8 ToolID, const quint8* Data) {
            OnStreaming(Size, ToolID, Data);
        });
    FForwarders[1] =
        Value->OnStreamingError.Subscribe([this](quint16 Code) { OnStreamingError(Code); });
    FForwarders[2] = Value->OnStreamingDataMissed.Subscribe(
        [this](quint8 ToolID) { OnStreamingDataMissed(ToolID); });
}

quint16 TKVR500Class::WriteBytes(std::initializer_list<quint8> Bytes) {
    TKvrByteArray data{};
    std::copy(Bytes.begin(), Bytes.end(), data.begin());
    return Tool().CommsWrite(quint8(Bytes.size()), data);
}

quint16 TKVR500Class::ConfigI2CWith(TI2CType Type, TI2CStopCommand Stop) {
    return Tool().ConfigI2C(Type, FPullUpResistors, FI2CAddress, FReadyPin, Stop, FPolling);
}

quint16 TKVR500Class::CheckTestModeMarker() {
    quint8 marker = 0;
    const quint16 result = ReadReg(TestModeRegister, marker);
    if (result != 0) return result;
    return marker == TestModeMarker ? 0 : ResultNoTestMode;
}

quint16 TKVR500Class::EnterTestModeIt649(quint8 StartupPulse) {
    FRes = Sequence([&] { return Tool().StopBitControl(sbOff); },
                    [&] { return Tool().EnterTM(0, StartupPulse, 0, 0, 0, 0, 0, 0); },
                    [&] { return CheckTestModeMarker(); });
    return FRes;
}

quint16 TKVR500Class::EnterTestMode() {
    return EnterTestMode(2);
}

quint16 TKVR500Class::EnterTestMode(quint8 WaitTime) {
    if (FICType == it649) return EnterTestModeIt649(WaitTime);
    if (FICType != it500) return 0;
    FRes = Sequence(
        [&] { return ConfigI2CWith(RDY_ActiveLow, scUseStop); },
        [&] { return Tool().EnterTM(0x36, 0x80); }, [&] { return ConfigI2CWith(noRDY, scUseStop); },
        [&] { return Tool().StopBitControl(sbOff); }, [&] { return CheckTestModeMarker(); });
    return FRes;
}

quint16 TKVR500Class::FirstCommsWrite(quint8 Address, quint8 DataByte) {
    if (FICType != it500) return 0;
    FRes = Sequence([&] { return ConfigI2CWith(RDY_ActiveLow, scUseStop); },
                    [&] { return Tool().EnterTM(Address, DataByte); });
    return FRes;
}

quint16 TKVR500Class::ExitTestMode() {
    if (FICType == it649) {
        TKvrByteArray unused{};
        FRes = Sequence([&] { return Tool().StopBitControl(sbRestore); },
                        [&] { return Tool().I2CRead(TestModeRegister, quint8(1), unused); });
        if (FRes == 0) {
            quint8 state = 0;
            Tool().IORead(ReadyIO, state); // neither its result nor the line is used
        }
        return FRes;
    }
    if (FICType != it500) return 0;
    FRes = Sequence([&] { return Tool().StopBitControl(sbRestore); },
                    [&] {
                        return WriteBytes({0x75, 0x00});
                    },
                    [&] { return ConfigI2CWith(RDY_ActiveLow, scUseStop); },
                    [&] { return Tool().EventMode(true); });
    return FRes;
}

quint16 TKVR500Class::PowerOn() {
    return Tool().PowerOnDUT();
}

quint16 TKVR500Class::PowerOff() {
    return Tool().PowerOffDUT();
}

quint16 TKVR500Class::TakeByte(quint16 Result, const TKvrByteArray& Read, quint8& Data) {
    if (Result != 0) {
        FRes = Result;
        return Result;
    }
    Data = Read[0];
    return 0;
}

quint16 TKVR500Class::ReadReg(quint8 Address, quint8& Data) {
    FRes = 0;
    TKvrByteArray read{};
    return TakeByte(Tool().I2CRead(Address, quint8(1), read), read, Data);
}

quint16 TKVR500Class::WriteReg(quint8 Address, quint8 Data) {
    return WriteBytes({Address, Data});
}

quint16 TKVR500Class::IndirectRead(quint8 Address, quint8& Data) {
    FRes = 0;
    const quint16 pointed = Sequence([&] { return Tool().StopBitControl(sbOff); },
                                     [&] {
                                         return WriteBytes({IndirectPointer, Address});
                                     });
    Tool().StopBitControl(sbRestore); // the stop condition is always given back
    if (pointed != 0) {
        FRes = pointed;
        return pointed;
    }
    TKvrByteArray read{};
    return TakeByte(Tool().CommsRead(1, read), read, Data);
}

quint16 TKVR500Class::IndirectWrite(quint8 Address, quint8 Data) {
    return WriteBytes({IndirectPointer, Address, Data});
}

quint16 TKVR500Class::GetVersion(quint16& ICVersion) {
    quint8 high = 0, low = 0;
    const quint16 result =
        Sequence([&] { return ReadReg(0x01, high); }, [&] { return ReadReg(0x00, low); });
    if (result == 0) ICVersion = quint16(high << 8 | low);
    return result;
}

quint16 TKVR500Class::ReadFuseBanks(quint8 CommandBase, std::array<quint8*, 6> Banks) {
    for (quint8 bank = 0; bank < Banks.size(); ++bank) {
        TKvrByteArray read{};
        const quint16 result = Sequence(
            [&] {
                return WriteBytes({FuseCommand, quint8(CommandBase + bank)});
            },
            [&] { return WriteBytes({FuseReadBack}); }, [&] { return Tool().CommsRead(1, read); });
        if (result != 0) return result;
        *Banks[bank] = read[0];
    }
    return 0;
}

quint16 TKVR500Class::ReadFuses(quint8& FuseBank0, quint8& FuseBank1, quint8& FuseBank2,
                                quint8& FuseBank3, quint8& FuseBank4, quint8& FuseBank5) {
    return ReadFuseBanks(FuseReadBase,
                         {&FuseBank0, &FuseBank1, &FuseBank2, &FuseBank3, &FuseBank4, &FuseBank5});
}

quint16 TKVR500Class::VerifyFuses(quint8& FuseBank0, quint8& FuseBank1, quint8& FuseBank2,
                                  quint8& FuseBank3, quint8& FuseBank4, quint8& FuseBank5) {
    return ReadFuseBanks(FuseVerifyBase,
                         {&FuseBank0, &FuseBank1, &FuseBank2, &FuseBank3, &FuseBank4, &FuseBank5});
}

quint16 TKVR500Class::WriteFuses(quint8 FuseBank0, quint8 FuseBank1, quint8 FuseBank2,
                                 quint8 FuseBank3, quint8 FuseBank4, quint8 FuseBank5,
                                 quint8 BurnByte1, quint8 BurnByte3, quint8 BurnByte4,
                                 quint8 BurnByte2) {
    const quint8 banks[] = {FuseBank0, FuseBank1, FuseBank2, FuseBank3, FuseBank4, FuseBank5};
    const quint16 prepared = Sequence(
        [&] {
            return WriteBytes({0x0E, 0x05});
        },
        [&] {
            return WriteBytes({0x0F, 0x0F});
        },
        [&] { return WriteBytes({0xE1}); });
    if (prepared != 0) return prepared;
    auto pulse = [&] { return Tool().FuseBurnConnect(BurnByte1, BurnByte2, BurnByte3, BurnByte4); };
    for (quint8 bank = 0; bank < std::size(banks); ++bank) {
        const quint16 result =
            Sequence([&] { return WriteReg(FuseData, banks[bank]); },
                     [&] { return WriteReg(FuseCommand, quint8(FuseBurnBase + bank)); }, pulse,
                     pulse, pulse);
        if (result != 0) return result;
    }
    return 0;
}

quint16 TKVR500Class::LTAWrite(quint8 ChanNum, quint16 LTAValue, quint8 ChanNumIndex) {
    TKvrByteArray request{}, reply{};
    request[2] = LTAWriteCode;
    request[3] = 4;
    request[4] = ChanNum;
    request[5] = quint8(LTAValue >> 8);
    request[6] = quint8(LTAValue);
    request[7] = ChanNumIndex;
    return Tool().SendReceive(request, reply);
}

quint16 TKVR500Class::ATIChannel(quint8 ChanNum, quint8 ChanNumIndex) {
    TKvrByteArray request{}, reply{};
    request[2] = ATIChannelCode;
    request[3] = 2;
    request[4] = ChanNum;
    request[5] = ChanNumIndex;
    return Tool().SendReceive(request, reply);
}

quint16 TKVR500Class::SetupCTSequence(double* SelectedAdjustableVoltage) {
    FRes = Sequence([&] { return Tool().SetICType(FICType); },
                    [&] {
                        const quint16 supply = FUseAdjust ? Tool().SetDUTVoltage(FAdjustableVoltage)
                                                          : Tool().SetDUTVoltage(FDUTVoltage);
                        if (SelectedAdjustableVoltage)
                            *SelectedAdjustableVoltage = supply == 0 ? FAdjustableVoltage : 0.0;
                        return supply;
                    },
                    [&] { return Tool().SetLSVoltage(FLSVoltage); },
                    [&] { return Tool().SetupComms(FCommsType, FCommsSpeed); },
                    [&] {
                        if (FCommsType != ctI2C && FCommsType != ct662) return quint16(0);
                        return Tool().ConfigI2C(FI2CType, FPullUpResistors, FI2CAddress, FReadyPin,
                                                FStopCommand, FPolling);
                    });
    return FRes;
}

quint16 TKVR500Class::SetupCT(double& SelectedAdjustableVoltage) {
    return SetupCTSequence(&SelectedAdjustableVoltage);
}

quint16 TKVR500Class::SetupCT() {
    return SetupCTSequence(nullptr);
}

quint16 TKVR500Class::StartStreaming(quint8 NoBytesToStream, const TKvrByteArray& BytesToStream) {
    return Tool().StartStreaming(NoBytesToStream, BytesToStream);
}

quint16 TKVR500Class::StopStreaming() {
    return Tool().StopStreaming();
}

quint16 TKVR500Class::UseStopCommand() {
    const quint16 configured = ConfigI2CWith(FI2CType, scUseStop);
    if (configured != 0) return configured;
    TKvrByteArray discarded{};
    return Tool().CommsRead(1, discarded);
}
