#include "VirtualDongle.h"

#include "KelvraHIDTypes.h"

#include <QRandomGenerator>

#include <cmath>

namespace {

constexpr int ReportLength = 65;
constexpr int ReplyDataBytes = ReportLength - 4; // bytes 4 onward of a reply
constexpr int ChunkSize = 32;
constexpr quint64 MaxCatchUpSamples = 8000; // after a stall, at most a second of samples
constexpr quint8 KindSuccess = 0x0;

// Error numbers, the low byte of the code (the high byte is the command code).
constexpr quint8 RFTimeout = 0xFD;
constexpr quint8 InvalidParameter = 0xFE;
constexpr quint8 InvalidCommand = 0xFF;

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

quint16 Error(quint8 Code, quint8 Number) {
    return quint16(Code << 8 | Number);
}

void PutBigEndian(QByteArray& Report, int Offset, quint32 Value, int Bytes) {
    for (int i = 0; i < Bytes; ++i)
        Report[Offset + i] = char(Value >> (8 * (Bytes - 1 - i)));
}

QByteArray Bytes(const quint8* Data, int Count) {
    return QByteArray(reinterpret_cast<const char*>(Data), Count);
}

} // namespace

TVirtualDongle::TVirtualDongle(const TVirtualDongleConfig& Config, std::shared_ptr<TSimIC> IC)
    : TSimHidDevice(InfoOf(Config)), FConfig(Config), FIC(std::move(IC)),
      FSampleRate(std::clamp(Config.SampleRate, 1, MaxSampleRate)) {
    FState.ToolID = Config.ToolID;
    FState.IO.fill(2); // lines idle high
}

TVirtualDongle::~TVirtualDongle() {
    StopPacer();
}

std::optional<quint16> TVirtualDongle::ProductIDOfModel(const QString& Model) {
    for (const TModel& m : Models)
        if (Model.compare(QLatin1String(m.Name), Qt::CaseInsensitive) == 0) return m.ProductID;
    return std::nullopt;
}

TVirtualDongle::TState TVirtualDongle::State() const {
    std::lock_guard lock(FLock);
    return FState;
}

TDongleFaults TVirtualDongle::Faults() const {
    std::lock_guard lock(FLock);
    return FFaults;
}

void TVirtualDongle::SetFaults(const TDongleFaults& Faults) {
    std::lock_guard lock(FLock);
    FFaults = Faults;
}

std::vector<QByteArray> TVirtualDongle::Requests() const {
    std::lock_guard lock(FLock);
    return FRequests;
}

void TVirtualDongle::ClearRequests() {
    std::lock_guard lock(FLock);
    FRequests.clear();
}

void TVirtualDongle::WithIC(const std::function<void(TSimIC&)>& F) {
    std::lock_guard lock(FLock);
    F(*FIC);
}

void TVirtualDongle::SetSampleRate(int Rate) {
    std::lock_guard lock(FLock);
    FSampleRate = std::clamp(Rate, 1, MaxSampleRate);
    FStreamStart = FClock();
    FSamplesDue = 0;
}

void TVirtualDongle::SetClock(TClockFunction Clock) {
    std::lock_guard lock(FLock);
    FClock = std::move(Clock);
}

void TVirtualDongle::SetAutoPump(bool On) {
    std::lock_guard lock(FLock);
    FAutoPump = On;
    FPacerWake.notify_all();
}

int TVirtualDongle::Pump() {
    std::lock_guard lock(FLock);
    return PumpLocked(FClock());
}

quint64 TVirtualDongle::SamplesSent() const {
    std::lock_guard lock(FLock);
    return FSamplesSent;
}

QByteArray TVirtualDongle::Report(quint8 Kind, quint8 MessageID) const {
    QByteArray report(ReportLength, '\0');
    report[1] = char(FState.ToolID << 4 | Kind);
    report[2] = char(MessageID);
    return report;
}

void TVirtualDongle::OutputReport(const quint8* Data, int Length) {
    if (Length < 4) return; // not a request
    std::lock_guard lock(FLock);
    FRequests.push_back(Bytes(Data, Length));
    if (FFaults.NoAnswer) return;
    const quint8 messageID = Data[1];
    const quint8 code = Data[2];
    const auto latency = FConfig.Latency;

    for (int i = 0; i < FFaults.StreamingBefore; ++i) {
        QByteArray packet = Report(ReportKind::Streaming, FPacketCounter);
        packet[3] = 0; // an empty sample
        SendInputReport(packet, latency);
    }
    for (int i = 0; i < FFaults.ExtraNonMatching; ++i)
        SendInputReport(Report(KindSuccess, quint8(messageID + 1 + i)), latency);

    if (FFaults.GarbageReply) {
        QByteArray garbage(ReportLength, '\0');
        for (char& c : garbage)
            c = char(FRandom());
        garbage[2] = char(messageID ^ 0x80);
        SendInputReport(garbage, latency);
        return;
    }
    if (FFaults.ShortReply) {
        SendInputReport(Report(KindSuccess, messageID).left(2), latency);
        return;
    }

    // The request is padded to a whole report, as the USB link delivers it.
    QByteArray request = Bytes(Data, std::min(Length, ReportLength));
    request.resize(ReportLength, '\0');
    QByteArray reply = Report(KindSuccess, messageID);
    const auto forced = FFaults.ErrorForCommand.find(code);
    quint16 error;
    if (FFaults.FailAfter == 0)
        error = FFaults.FailCode;
    else if (forced != FFaults.ErrorForCommand.end())
        error = forced->second;
    else
        error = Execute(code, reinterpret_cast<const quint8*>(request.constData()), reply);
    if (FFaults.FailAfter >= 0) --FFaults.FailAfter;
    if (error != 0) {
        reply = Report(ReportKind::Error, messageID);
        PutBigEndian(reply, 4, error, 2);
    }
    SendInputReport(reply, latency);
}

quint16 TVirtualDongle::Execute(quint8 Code, const quint8* Request, QByteArray& Reply) {
    using namespace DongleCode;
    const quint8 b3 = Request[3];
    const quint8* p = Request + 4;
    TState& s = FState;
    const bool i2c = s.CommsType == ctI2C + 1 || s.CommsType == ct662 + 1;

    switch (Code) {
    case SetICType:
        if (s.Powered) return Error(Code, 0x02);
        if (b3 == 1) return 0; // logic type
        if (b3 != 2 || p[0] != 0 || p[1] < 1 || p[1] > 5) return Error(Code, 0x01);
        s.ICType = p[1];
        return 0;
    case PowerOn:
        if (s.Powered) return Error(Code, 0x03);
        if (s.Volts < 1.0 || s.Volts > 5.5) return Error(Code, 0x01);
        s.Powered = true;
        FIC->SetPower(true);
        Reply[4] = 1;
        return 0;
    case PowerOff:
        if (b3 == 4) return 0; // bins of a tester
        if (!s.Powered) return Error(Code, 0x01);
        StopStreamingLocked();
        s.Powered = false;
        FIC->SetPower(false);
        return 0;
    case EnterTM: {
        if (s.Powered) return Error(Code, 0x03);
        if (s.ICType == 0) return Error(Code, 0x04);
        if (b3 != 8 && b3 != 2) return Error(Code, InvalidParameter);
        // The entry pulse starts the IC from cold; it stays powered afterwards.
        s.Powered = true;
        FIC->SetPower(true);
        const quint8 failure = FIC->EnterTestMode(Bytes(p, b3));
        if (failure != 0) {
            s.Powered = false;
            FIC->SetPower(false);
            return Error(Code, failure);
        }
        return 0;
    }
    case SetupComms:
        if (s.ICType == 0) return Error(Code, 0x03);
        if (p[0] < 1 || p[0] > ct662 + 1) return Error(Code, 0x01);
        if (b3 == 5) {
            if (p[0] != ctI2C + 1 || p[1] != CustomI2CSpeedCode) return Error(Code, 0x02);
            s.I2CSpeedHz = quint32(p[2]) << 16 | quint32(p[3]) << 8 | p[4];
        } else if (b3 != 2 || p[1] < 1 || p[1] > csSlow + 1) {
            return Error(Code, 0x02);
        }
        s.CommsType = p[0];
        s.CommsSpeed = p[1];
        FIC->SetLink(p[0]);
        return 0;
    case SetLSVoltage:
        if (p[0] < 1 || p[0] > 2) return Error(Code, 0x01);
        s.LevelShifter = p[0];
        return 0;
    case SetDUTVoltage: {
        double volts;
        if (b3 == 1 && (p[0] == 1 || p[0] == 2))
            volts = p[0] == 1 ? 3.3 : 5.0;
        else if (b3 == 1)
            volts = p[0] * 3.0 / 128;
        else if (b3 == 2)
            volts = (p[0] << 4 | p[1] >> 4) * 6.6 / 4096;
        else
            return Error(Code, InvalidParameter);
        if (volts < 1.0 || volts > 5.5) return Error(Code, 0x01);
        s.Volts = volts;
        return 0;
    }
    case SetCTID:
        if (p[0] > 15) return Error(Code, 0x01);
        s.ToolID = p[0];
        return 0;
    case GetCTFWVersion:
        PutBigEndian(Reply, 4, FConfig.Firmware, 4);
        Reply[8] = char(FConfig.Build);
        return 0;
    case CommsRead:
        if (s.CommsType == 0) return Error(Code, 0x01);
        if (p[0] > ReplyDataBytes) return Error(Code, 0x02);
        if (!s.Powered) return Error(Code, 0x03);
        Reply.replace(4, p[0], FIC->Read(p[0], !s.StopSuppressed));
        return 0;
    case CommsWrite:
        if (s.CommsType == 0) return Error(Code, 0x01);
        if (b3 > ChunkSize) return Error(Code, 0x02);
        if (!s.Powered) return Error(Code, 0x03);
        FIC->Write(Bytes(p, b3), !s.StopSuppressed);
        Reply.replace(4, b3, Bytes(p, b3)); // what went over the wire, read back
        return 0;
    case StartStreaming:
    case StopStreaming:
    case SetLongStreamingLength:
    case StartLongStreaming:
        return StreamCommand(Code, Request);
    case FuseBurnConnect:
        if (!s.Powered) return Error(Code, 0x05);
        FIC->BurnPulse(Bytes(p, 4));
        return 0;
    case ConfigI2C:
        if (!i2c) return Error(Code, 0x01);
        if (p[0] < 1 || p[0] > 4) return Error(Code, 0x02);
        if (p[1] < 1 || p[1] > 2) return Error(Code, 0x03);
        if (p[2] > 0x7F) return Error(Code, 0x04);
        s.I2CConfig = Bytes(p, 6);
        return 0;
    case IORead:
        if (p[0] >= s.IO.size()) return Error(Code, 0x01);
        Reply[4] = char(s.IO[p[0]]);
        return 0;
    case IOWrite:
        if (p[0] >= s.IO.size()) return Error(Code, 0x01);
        if (p[1] != 1 && p[1] != 2) return Error(Code, 0x03);
        s.IO[p[0]] = p[1];
        return 0;
    case I2CRead: {
        if (!i2c) return Error(Code, 0x01);
        const int addressSize = b3;
        const quint8 count = Request[4 + addressSize];
        if (addressSize < 1 || addressSize > 4 || count > ReplyDataBytes) return Error(Code, 0x02);
        if (!s.Powered) return Error(Code, 0x03);
        // The address goes out as a write without stop, then the read follows.
        FIC->Write(Bytes(p + addressSize - 1, 1), false);
        Reply.replace(4, count, FIC->Read(count, !s.StopSuppressed));
        return 0;
    }
    case DongleCode::StopBitControl:
        if (p[0] > sbRestore) return Error(Code, InvalidParameter);
        s.StopSuppressed = p[0] == sbOff;
        return 0;
    case DetectRFModule:
        if (!FConfig.RFModule) return Error(Code, InvalidCommand);
        Reply[4] = 1;
        return 0;
    case DongleCode::EventMode:
        s.EventMode = p[0] != 0;
        return 0;
    case LongBufferChunk:
        if (b3 == 0) FLongBuffer.clear();
        FLongBuffer.append(Bytes(p, ChunkSize));
        return 0;
    case LongBufferCommit: {
        const int size = p[3] << 8 | p[4];
        if (size < 1 || size > FLongBuffer.size()) return Error(Code, InvalidParameter);
        if (!s.Powered) return Error(Code, 0x03);
        QByteArray write = Bytes(p + 1 + (p[0] == 2 ? 1 : 0), 1) + FLongBuffer.left(size);
        FIC->Write(write, true);
        return 0;
    }
    case SetLED:
        if (p[0] > lcAmber) return Error(Code, 0x01);
        s.Led = p[0];
        return 0;
    default:
        return Error(Code, InvalidCommand);
    }
}

quint16 TVirtualDongle::StreamCommand(quint8 Code, const quint8* Request) {
    using namespace DongleCode;
    const quint8 b3 = Request[3];
    const quint8* p = Request + 4;
    TState& s = FState;
    switch (Code) {
    case StartStreaming: {
        if (s.CommsType == 0) return Error(Code, 0x01);
        if (b3 == 0) return Error(Code, 0x02);
        if (!s.Powered) return Error(Code, 0x05);
        if (s.Streaming) return Error(Code, InvalidCommand);
        FStreamChunks.append(Bytes(p, std::min<int>(b3, ChunkSize)));
        if (b3 > ChunkSize) return 0; // more chunks follow
        s.StreamList = FStreamChunks;
        FStreamChunks.clear();
        s.LongStreaming = false;
        StartStreamingLocked();
        return 0;
    }
    case SetLongStreamingLength:
        s.LongLength = quint16(p[0] << 8 | p[1]);
        return 0;
    case StartLongStreaming: {
        if (s.CommsType == 0) return Error(Code, 0x01);
        if (!s.Powered) return Error(Code, 0x05);
        if (s.LongLength == 0) return Error(Code, 0x02);
        if (b3 == 0) FStreamChunks.clear();
        FStreamChunks.append(Bytes(p, ChunkSize));
        if (FStreamChunks.size() < s.LongLength) return 0;
        s.StreamList = FStreamChunks.left(s.LongLength);
        FStreamChunks.clear();
        s.LongStreaming = true;
        StartStreamingLocked();
        return 0;
    }
    case StopStreaming:
        if (!s.Streaming) return Error(Code, 0x01);
        StopStreamingLocked();
        return 0;
    }
    return Error(Code, InvalidCommand);
}

void TVirtualDongle::StartStreamingLocked() {
    FState.Streaming = true;
    FStreamStart = FClock();
    FSamplesDue = 0;
    FPacketCounter = 0;
    if (!FPacer.joinable()) FPacer = std::thread(&TVirtualDongle::PacerLoop, this);
    FPacerWake.notify_all();
}

void TVirtualDongle::StopStreamingLocked() {
    FState.Streaming = false;
    FHeldReport.reset();
}

void TVirtualDongle::Unplugged() {
    std::lock_guard lock(FLock);
    StopStreamingLocked();
    FState.Powered = false;
    FIC->SetPower(false); // the IC loses its supply with the dongle
}

void TVirtualDongle::PacerLoop() {
    std::unique_lock lock(FLock);
    while (!FPacerStop) {
        if (!FState.Streaming || !FAutoPump) {
            FPacerWake.wait(lock);
            continue;
        }
        PumpLocked(FClock());
        FPacerWake.wait_for(lock, std::chrono::milliseconds(1));
    }
}

void TVirtualDongle::StopPacer() {
    {
        std::lock_guard lock(FLock);
        FPacerStop = true;
        FPacerWake.notify_all();
    }
    if (FPacer.joinable()) FPacer.join();
}

int TVirtualDongle::PumpLocked(TClock::time_point Now) {
    if (!FState.Streaming) return 0;
    const double elapsed = std::chrono::duration<double>(Now - FStreamStart).count();
    const quint64 due = quint64(std::max(0.0, elapsed) * FSampleRate) + 1;
    if (due - FSamplesDue > MaxCatchUpSamples) FSamplesDue = due - MaxCatchUpSamples;
    int sent = 0;
    for (; FSamplesDue < due; ++FSamplesDue, ++sent) {
        FIC->Advance(double(FSamplesDue) / FSampleRate);
        if (!FIC->Streams()) continue;
        const QByteArray sample = FIC->Sample(FState.StreamList);
        FPacketCounter += FIC->LostBeforeSample();
        SendSampleLocked(sample);
    }
    return sent;
}

void TVirtualDongle::SendSampleLocked(const QByteArray& Sample) {
    const int length = int(Sample.size());
    int offset = 0;
    for (int packet = 0; offset < length || packet == 0; ++packet) {
        const int count = std::min(length - offset, ChunkSize);
        QByteArray report = Report(ReportKind::Streaming, FPacketCounter);
        // Ordinary streaming tells the bytes still to come; long streaming numbers packets.
        report[3] = char(FState.LongStreaming ? packet : length - offset);
        report.replace(4, count, Sample.mid(offset, count));
        SendStreamReportLocked(report);
        offset += count;
    }
    ++FPacketCounter;
    ++FSamplesSent;

    if (FFaults.StreamingError != 0) {
        QByteArray error = Report(ReportKind::Error, 0);
        PutBigEndian(error, 4, FFaults.StreamingError, 2);
        FFaults.StreamingError = 0;
        SendInputReport(error);
    }
}

void TVirtualDongle::SendStreamReportLocked(const QByteArray& Report) {
    if (FFaults.DropShare > 0 &&
        std::uniform_real_distribution<>(0, 1)(FRandom) < FFaults.DropShare)
        return;
    if (FFaults.ReorderOne) {
        FFaults.ReorderOne = false;
        FHeldReport = Report; // goes out after the next one
        return;
    }
    SendInputReport(Report);
    if (FFaults.DuplicateOne) {
        FFaults.DuplicateOne = false;
        SendInputReport(Report);
    }
    if (FHeldReport) {
        SendInputReport(*FHeldReport);
        FHeldReport.reset();
    }
}
