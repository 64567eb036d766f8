#include "VirtualDongle.h"

#include <QRandomGenerator>

namespace {

constexpr int ReportLength = 65;
constexpr quint8 KindSuccess = 0x0;
constexpr quint8 KindError = 0xE;
constexpr quint8 KindStreaming = 0xF;

constexpr quint8 CodeGetCTFWVersion = 0x09;
constexpr quint16 ErrorInvalidCommand = 0xFF;

void PutBigEndian32(QByteArray& Report, int Offset, quint32 Value) {
    for (int i = 0; i < 4; ++i)
        Report[Offset + i] = char(Value >> (24 - 8 * i));
}

struct TModel {
    const char* Name;
    quint16 ProductID;
};
constexpr TModel Models[] = {{"LK510", 0x0101}, {"LK600", 0x0102}, {"MV800", 0x0103},
                             {"RM800", 0x0104}, {"LK620", 0x0105}, {"LK610", 0x0108}};

THidDeviceInfo InfoOf(const TVirtualDongleConfig& Config) {
    THidDeviceInfo info;
    info.VendorID = Config.VendorID;
    info.ProductID = Config.ProductID;
    info.ProductString = Config.Product;
    info.SerialNumber = Config.Serial;
    info.InputReportByteLength = ReportLength;
    info.OutputReportByteLength = ReportLength;
    return info;
}

} // namespace

TVirtualDongle::TVirtualDongle(const TVirtualDongleConfig& Config)
    : TSimHidDevice(InfoOf(Config)), FConfig(Config) {}

std::optional<quint16> TVirtualDongle::ProductIDOfModel(const QString& Model) {
    for (const TModel& m : Models)
        if (Model.compare(QLatin1String(m.Name), Qt::CaseInsensitive) == 0)
            return m.ProductID;
    return std::nullopt;
}

QByteArray TVirtualDongle::Report(quint8 Kind, quint8 MessageID) const {
    QByteArray report(ReportLength, '\0');
    report[1] = char(FConfig.ToolID << 4 | Kind);
    report[2] = char(MessageID);
    return report;
}

void TVirtualDongle::OutputReport(const quint8* Data, int Length) {
    if (Length < 4)
        return; // not a request
    FRequests.emplace_back(reinterpret_cast<const char*>(Data), Length);
    if (Faults.NoAnswer)
        return;
    const quint8 messageID = Data[1];
    const quint8 code = Data[2];

    for (int i = 0; i < Faults.StreamingBefore; ++i) {
        QByteArray packet = Report(KindStreaming, FStreamCounter++);
        packet[3] = 20; // one complete 20-byte sample
        SendInputReport(packet, FConfig.Latency);
    }
    for (int i = 0; i < Faults.ExtraNonMatching; ++i)
        SendInputReport(Report(KindSuccess, quint8(messageID + 1 + i)), FConfig.Latency);

    if (Faults.GarbageReply) {
        QByteArray garbage(ReportLength, '\0');
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(garbage.data()),
                                             ReportLength / 4);
        garbage[2] = char(messageID ^ 0x80);
        SendInputReport(garbage, FConfig.Latency);
        return;
    }
    if (Faults.ShortReply) {
        SendInputReport(Report(KindSuccess, messageID).left(2), FConfig.Latency);
        return;
    }

    QByteArray reply = Report(KindSuccess, messageID);
    quint16 error = 0;
    if (const auto forced = Faults.ErrorForCommand.find(code); forced != Faults.ErrorForCommand.end())
        error = forced->second;
    else
        error = Execute(code, Data, reply);
    if (error != 0) {
        reply = Report(KindError, messageID);
        reply[4] = char(error >> 8);
        reply[5] = char(error);
    }
    SendInputReport(reply, FConfig.Latency);
}

quint16 TVirtualDongle::Execute(quint8 Code, const quint8* /*Request*/, QByteArray& Reply) {
    switch (Code) {
    case CodeGetCTFWVersion:
        PutBigEndian32(Reply, 4, FConfig.Firmware);
        Reply[8] = char(FConfig.Build);
        return 0;
    default: return quint16(Code << 8 | ErrorInvalidCommand);
    }
}
