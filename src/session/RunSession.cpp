#include "RunSession.h"

#include "EngineeringFields.h"
#include "HIDToolsErrorCodes.h"
#include "KelvraHIDTool.h"
#include "KelvraPXS731.h"
#include "RunControls.h"

#include <QThread>

using namespace FuseBanks;

namespace {
constexpr int PowerUpWaitMs = 100;
constexpr quint16 PowerShouldBeOff = 0x0403;
constexpr quint16 PowerIsOn = 0x0102; // the dongle refuses a set-up while it powers the IC
constexpr quint8 StreamRegister = FirstRegister + 1; // bank 1
constexpr quint8 StreamBit = 0x04;
constexpr quint8 VersionAddress = 0x00;
const QString CommsError = QStringLiteral("Error communicating with Device");
const QString EntryError = QStringLiteral("Unabled to enter Debug Mode!");
const QString StartError = QStringLiteral("Unable to start device streaming!");
} // namespace

TFixedStreamSetUp::TFixedStreamSetUp(TStreamChoice Choice) : FChoice(Choice.WithThresholdsRule()) {
    SetupStreaming(true);
}

QString TDongleAbsence::Text() const {
    return QStringLiteral("Dongle %1 away from %2 to %3 (%4 s)")
        .arg(Serial, Gone.toString(Qt::ISODateWithMs), Back.toString(Qt::ISODateWithMs))
        .arg(double(Gone.msecsTo(Back)) / 1000, 0, 'f', 1);
}

TRunSession::TRunSession(TKelvraHidTool& Tool, QObject* Parent)
    : QObject(Parent), FTool(Tool), FDevice(new TPXS731Device(this)) {
    FDevice->setObjectName("PXS731Device1");
    Configure();
    FWaitTimer.setSingleShot(true);
    FRestoreTimer.setSingleShot(true);
    connect(&FRestoreTimer, &QTimer::timeout, this, &TRunSession::RestoreRun);
    connect(&FWaitTimer, &QTimer::timeout, this, [this] {
        EndWait(QStringLiteral("Dongle %1 did not return within %2 s; the run ended")
                    .arg(FKept->Serial)
                    .arg(FReconnectMs / 1000.0),
                TRunMessage::Error);
    });
    FDeviceEvents[0] = FDevice->OnStreaming.Subscribe(
        [this](quint16 Size, quint8, const quint8* Data) { Decode(Data, Size); });
    FDeviceEvents[1] = FDevice->OnStreamingDataMissed.Subscribe([this](quint8) { OnDataMissed(); });
    FDeviceEvents[2] = FDevice->OnStreamingError.Subscribe(
        [this](quint16 Code) { OnStreamingError(GetErrorText(Code)); });
}

TRunSession::~TRunSession() = default;

void TRunSession::UseStreamSetUp(TStreamSetUp& SetUp) {
    FSetUp = &SetUp;
}

void TRunSession::Configure() {
    // The stored design: 1-Wire to an it649 at 3.3 V.
    FDevice->SetDUTVoltage(v3_3V);
    FDevice->SetAdjustableDUTVoltage(3.3);
    FDevice->SetLSVoltage(vfVDDHI);
    FDevice->SetCommsSpeed(csFast);
    FDevice->SetICType(i731_it649);
    FDevice->SetCommsType(c731_1wire);
    FDevice->SetI2CType(noRDY);
    FDevice->SetI2CPullUpResistors(prConnected);
    FDevice->SetI2CReadyPin(rpPin10);
    FDevice->SetI2CStopCommand(scUseStop);
    FDevice->SetI2CPolling(ipPollingByAddress);
    FDevice->SetI2CAddress("44");
    FDevice->SetHIDTool(&FTool);
}

void TRunSession::Changed() {
    // Noted while the dongle is still there: when it goes, the run waits for this serial.
    if (FState.PowerOn) FRunSerial = FTool.SerialNumber();
    OnStateChanged();
}

void TRunSession::Tell(const QString& Text, TRunMessage Kind) {
    OnMessage(Text, Kind);
}

bool TRunSession::Report(quint16 Result) {
    if (Result != 0) Tell(GetErrorText(Result), TRunMessage::Error);
    return Result == 0;
}

void TRunSession::Decode(const quint8* Data, int Size) {
    const TDecodedSample sample =
        DecodeSample(Data, Size, FSetUp->Layout(), FState.Link1Wire, FSetUp->Choice());
    // Marked before the sample is handed on, so that the marks belong to it.
    if (sample.SysFlags && FShownFlags != sample.SysFlags) {
        const quint8 changed = FShownFlags ? quint8(*FShownFlags ^ *sample.SysFlags) : 0;
        FShownFlags = sample.SysFlags;
        for (int bit = 0; bit < 8; ++bit) {
            if (!(changed & (1 << bit))) continue;
            const bool set = *sample.SysFlags & (1 << bit);
            OnMark(TMarkKind::Flag, (1 << bit) == sfActivation
                                        ? QString(set ? "Touch on" : "Touch off")
                                        : FlagName(bit) + ": " + FlagCaption(bit, set));
        }
    }
    OnSample(sample, Data, Size);
}

quint16 TRunSession::StartStream() {
    const TStreamLayout& layout = FSetUp->Layout();
    return FDevice->StartStreaming(quint8(layout.StreamLength()), layout.StreamBytes());
}

void TRunSession::SetDongleUsable(bool Usable) {
    if (!Usable && FKept && FTool.SerialNumber() == FKept->Serial)
        EndWait(QStringLiteral("Dongle %1 returned but cannot be used; the run ended")
                    .arg(FKept->Serial),
                TRunMessage::Error);
    if (FState.DongleUsable == Usable) return;
    FState.DongleUsable = Usable;
    Changed();
}

void TRunSession::DevicesChanged() {
    FState.CTSetup = false;
}

void TRunSession::DongleGone() {
    const TRunState was = FState;
    if (!was.Running() && !was.PowerOn) return; // nothing to end, or already waiting
    FState.DebugMode = FState.Streaming = FState.Paused = FState.PowerOn = FState.CTSetup = false;
    if (FReconnectMs > 0 && !FRunSerial.isEmpty()) {
        FKept = TKeptRun{FRunSerial, was, FDebugStart, FReturnTo1Wire || was.Link1Wire,
                         QDateTime::currentDateTimeUtc()};
        FState.Waiting = true;
        FWaitTimer.start(FReconnectMs);
        Changed();
        Tell(QStringLiteral("Dongle %1 unplugged; waiting for it to return").arg(FRunSerial),
             TRunMessage::Error);
        return;
    }
    FState.LinkHeld = false;
    Changed();
    if (was.Running()) Tell("Streaming device disconnected!", TRunMessage::Error);
}

void TRunSession::EndWait(const QString& Text, TRunMessage Kind) {
    FKept.reset();
    FWaitTimer.stop();
    FRestoreTimer.stop();
    FState.Waiting = FState.LinkHeld = false;
    Changed();
    Tell(Text, Kind);
}

void TRunSession::DongleReady() {
    if (!FKept || !FState.DongleUsable || FTool.SerialNumber() != FKept->Serial) return;
    // Put back once the dongle has stayed a moment (a loose cable comes and goes), and not
    // from inside the caller's handling of the change, which may be a modal question's.
    FRestoreTimer.start(RestoreSettleMs);
}

void TRunSession::RestoreRun() {
    // The dongle may have gone again, or another one been chosen, since it was ready.
    if (!FKept || !FState.DongleUsable || !FTool.CurrentDevice() ||
        FTool.SerialNumber() != FKept->Serial)
        return;
    const TKeptRun run = *std::exchange(FKept, std::nullopt);
    FWaitTimer.stop();
    FState.LinkHeld = false;
    // The state says Waiting until the run is back, so that a recording goes on through it.
    const bool back = PutBack(run);
    FState.Waiting = FKept.has_value(); // gone again while a warning of the restore was shown
    Changed();
    if (!back) {
        Tell(
            QStringLiteral("Dongle %1 returned, but its run could not be put back").arg(run.Serial),
            TRunMessage::Error);
        return;
    }
    const TDongleAbsence absence{run.Serial, run.Gone, QDateTime::currentDateTimeUtc()};
    const TRunControls was = RunControls(run.State, true);
    Tell(QStringLiteral("Dongle %1 returned after %2 s: run restored (%3, %4)")
             .arg(run.Serial)
             .arg(double(absence.Gone.msecsTo(absence.Back)) / 1000, 0, 'f', 1)
             .arg(was.StateName.toLower(), FState.Link1Wire ? "1-Wire" : "I2C"),
         TRunMessage::Info);
    OnRunRestored(absence);
}

bool TRunSession::PutBack(const TKeptRun& Run) {
    const TRunState& was = Run.State;
    if (!was.Running()) return SetUpDongle() && (FState.PowerOn || PowerOn());
    ChooseLink(Run.StartLink1Wire);
    if (!Start(Run.DebugStart)) return false;
    // The IC starts from its fuses: the banks last written go back in through debug mode.
    const bool banks = SavedConfiguration(FSavedBanks);
    if ((was.DebugMode || banks) && !EnterDebugMode()) return false;
    if (!was.DebugMode && banks && !LeaveDebugMode(FSavedBanks)) return false;
    return !was.Paused || Pause();
}

bool TRunSession::SetUpDongle() {
    const quint16 result = FDevice->SetupCT();
    if (result == PowerIsOn) {
        FState.CTSetup = FState.PowerOn = true;
        Changed();
        return true;
    }
    if (!Report(result)) return false;
    FState.CTSetup = true;
    return true;
}

void TRunSession::SetLink(bool OneWire) {
    if (OneWire != FState.Link1Wire) OnMark(TMarkKind::Power, OneWire ? "Link 1-Wire" : "Link I2C");
    FState.Link1Wire = OneWire;
    FDevice->SetCommsType(OneWire ? c731_1wire : c731_I2C);
    FDevice->SetI2CPullUpResistors(prConnected);
    FDevice->PowerOff();
    // The dongle is set up for one link: the next power-on sets it up for the new one.
    FState.PowerOn = FState.CTSetup = false;
    FSetUp->SetupStreaming(OneWire);
    OnLinkChanged(OneWire);
    Changed();
}

void TRunSession::ChooseLink(bool OneWire) {
    FState.Link1Wire = OneWire;
    FDevice->SetCommsType(OneWire ? c731_1wire : c731_I2C);
    FSetUp->SetupStreaming(OneWire);
}

bool TRunSession::SetSupply(bool Supply3V3) {
    quint16 result;
    if (Supply3V3) {
        result = FTool.SetDUTVoltage(dv3_3V);
        FDevice->SetDUTVoltage(v3_3V);
    } else {
        result = FTool.SetDUTVoltage(1.8);
        FDevice->SetDUTVoltage(vAdjustable);
        FDevice->SetAdjustableDUTVoltage(1.8);
    }
    if (!Report(result)) return false;
    Tell("Voltage changed successfully", TRunMessage::Info);
    OnMark(TMarkKind::Power, Supply3V3 ? "Supply 3.3 V" : "Supply 1.8 V");
    return true;
}

bool TRunSession::Start(bool Debug) {
    FDebugStart = Debug;
    FShownFlags.reset(); // the first sample's flags are no change
    FReturnTo1Wire = Debug && FState.Link1Wire;
    if (Debug) {
        SetLink(false);
        if (!PrepareDebugStart()) {
            FailStart();
            return false;
        }
        // The preparation set the dongle up and left the IC powered; a second set-up would
        // be refused ("Power to device is ON").
        FState.PowerOn = FState.CTSetup = true;
    }
    if (!FState.CTSetup) {
        if (!Report(FDevice->SetupCT())) {
            FailStart();
            return false;
        }
        FState.CTSetup = true;
    }
    // The readings of the I/O lines are not used; the dongle wants them read.
    quint8 lines = 0;
    if (FState.Link1Wire) {
        FTool.IORead(7, lines);
        FTool.IORead(9, lines);
    } else {
        FTool.IORead(10, lines);
    }
    if (!FState.PowerOn) {
        FDevice->PowerOn();
        OnMark(TMarkKind::Power, "Power on"); // as the run's end marks "Power off"
    }
    QThread::msleep(PowerUpWaitMs);
    FState.PowerOn = true;
    Changed();
    if (!Report(StartStream()) || (!FState.Link1Wire && !ReadVersion())) {
        FailStart();
        return false;
    }
    Tell("Device streaming started", TRunMessage::Info);
    FState.Streaming = FState.LinkHeld = true;
    Changed();
    return true;
}

bool TRunSession::PrepareDebugStart() {
    if (!Report(FDevice->SetupCT())) return false;
    quint16 result = FDevice->EnterTestMode();
    if (result == PowerShouldBeOff) {
        // A powered IC enters test mode only from a cold start: once more after power-off.
        FDevice->PowerOff();
        if (!Report(FDevice->SetupCT())) return false;
        result = FDevice->EnterTestMode();
    }
    return Report(result) && StreamFromTestMode();
}

bool TRunSession::StreamFromTestMode() {
    quint8 bank1 = 0;
    return Report(FDevice->ReadReg(StreamRegister, bank1)) &&
           Report(FDevice->WriteReg(StreamRegister, bank1 | StreamBit)) &&
           Report(FDevice->ExitTestMode());
}

void TRunSession::FailStart() {
    EndBrokenRun();
    Tell(StartError, TRunMessage::Warning);
}

void TRunSession::TakeArrivedSamples() {
    if (THidDevice* device = FTool.CurrentDevice()) device->DeliverArrived();
}

void TRunSession::EndBrokenRun() {
    FDevice->StopStreaming();
    FDevice->PowerOff();
    FState.Streaming = FState.CTSetup = FState.PowerOn = FState.Paused = FState.DebugMode = false;
    FState.LinkHeld = false;
    Changed();
}

void TRunSession::Stop() {
    if (FKept) {
        PowerOff(); // ends the wait
        if (std::exchange(FReturnTo1Wire, false)) {
            // No dongle to switch off: only the link the run was started on comes back.
            ChooseLink(true);
            OnLinkChanged(true);
            Changed();
        }
        return;
    }
    PowerOff();
    FState.LinkHeld = false;
    Changed();
    if (FReturnTo1Wire) {
        FReturnTo1Wire = false;
        SetLink(true);
    }
}

bool TRunSession::PowerOn() {
    if (FKept) {
        PowerOff(); // ends the wait
        return false;
    }
    if (!FState.CTSetup) {
        if (!Report(FDevice->SetupCT())) return false;
        FState.CTSetup = true;
    }
    // A supply that did not come on is not recorded as on.
    if (!Report(FDevice->PowerOn())) return false;
    Tell("Device powered on", TRunMessage::Info);
    OnMark(TMarkKind::Power, "Power on");
    FState.PowerOn = true;
    Changed();
    return true;
}

void TRunSession::PowerOff() {
    if (FKept) {
        FSavedBanks = {};
        EndWait(QStringLiteral("Stopped waiting for dongle %1; the run ended").arg(FKept->Serial),
                TRunMessage::Info);
        return;
    }
    // Debug mode ends with the power too; in debug mode the dongle has no stream to stop.
    const bool streaming = FState.StreamRunning();
    FSavedBanks = {}; // the IC starts from its fuses next time
    // The stream stops before the run's state does, so that the samples the dongle sent
    // before it are handled while the run is on (a recording keeps them).
    const bool stopped = !streaming || Report(FDevice->StopStreaming());
    FState.DebugMode = FState.Paused = FState.Streaming = false;
    Changed();
    if (!stopped) {
        FDevice->PowerOff();
        FState.PowerOn = FState.CTSetup = false;
        Changed();
        return;
    }
    if (streaming) Tell("Device streaming stopped", TRunMessage::Info);
    if (Report(FDevice->PowerOff())) {
        Tell("Device powered off", TRunMessage::Info);
        OnMark(TMarkKind::Power, "Power off");
    }
    FState.CTSetup = FState.PowerOn = false;
    Changed();
}

bool TRunSession::Pause() {
    // A stream that did not stop still runs; one that did hands on its last samples first.
    if (!Report(FDevice->StopStreaming())) return false;
    FState.Streaming = false;
    FState.Paused = true;
    Changed();
    Tell("Device streaming paused", TRunMessage::Info);
    return true;
}

bool TRunSession::Resume() {
    if (!Report(StartStream())) {
        Tell(StartError, TRunMessage::Warning);
        return false;
    }
    Tell("Device streaming resumed", TRunMessage::Info);
    FState.Streaming = true;
    FState.Paused = false;
    Changed();
    return true;
}

void TRunSession::RestartStreaming() {
    if (!FState.StreamRunning() || !Report(FDevice->StopStreaming())) return;
    if (!Report(StartStream())) EndBrokenRun();
}

bool TRunSession::CheckPower() {
    if (FState.PowerOn) return true;
    Tell("Device power is off!", TRunMessage::Error);
    return false;
}

bool TRunSession::EnterTestModeWithBanks(TBanks& Banks) {
    if (FState.Streaming) FDevice->StopStreaming();
    // A paused IC is still powered, and a powered IC refuses the set-up and the test mode.
    if (FState.Streaming || FState.Paused) FDevice->PowerOff();
    if (!Report(FDevice->SetupCT())) return false;
    if (!Report(FDevice->EnterTestMode())) return false;
    const bool writeBack = SavedConfiguration(FSavedBanks);
    if (writeBack) {
        Banks = FSavedBanks;
    } else {
        TKvrByteArray read{};
        if (FTool.I2CRead(FirstRegister, quint8(BankCount), read) != 0) return false;
        std::copy_n(read.begin(), BankCount, Banks.begin());
    }
    if (writeBack) WriteBanks(Banks);
    return true;
}

std::optional<TBanks> TRunSession::EnterDebugMode() {
    TBanks banks{};
    if (!EnterTestModeWithBanks(banks)) {
        Tell(EntryError, TRunMessage::Error);
        // The IC may be off or in test mode: the run ends as a failed start does.
        EndBrokenRun();
        return std::nullopt;
    }
    // Entered from a pause, the run is streaming again once debug mode ends.
    FState.DebugMode = FState.Streaming = true;
    FState.Paused = false;
    Changed();
    Tell("Device in Debug Mode", TRunMessage::Info);
    return banks;
}

bool TRunSession::WriteBanks(const TBanks& Banks) {
    for (int bank = 0; bank < BankCount; ++bank) {
        if (FDevice->WriteReg(quint8(FirstRegister + bank), Banks[size_t(bank)]) != 0) {
            Tell(CommsError, TRunMessage::Error);
            return false;
        }
    }
    // A mark for each bank that changed since the last write (each, after none).
    const bool before = SavedConfiguration(FSavedBanks);
    for (size_t bank = 0; bank < Banks.size(); ++bank)
        if (!before || Banks[bank] != FSavedBanks[bank])
            OnMark(TMarkKind::Write, QStringLiteral("Bank %1 = 0x%2")
                                         .arg(bank)
                                         .arg(EngineeringFields::TwoDigits(Banks[bank])));
    FSavedBanks = Banks;
    Tell("Data written successfully", TRunMessage::Info);
    return true;
}

std::optional<std::array<quint8, 4>> TRunSession::ReadBanks() {
    TKvrByteArray read{};
    if (FTool.I2CRead(FirstRegister, quint8(BankCount - 1), read) != 0) {
        Tell(CommsError, TRunMessage::Error);
        return std::nullopt;
    }
    std::array<quint8, 4> banks{};
    std::copy_n(read.begin(), banks.size(), banks.begin());
    Tell("Device data read successfully", TRunMessage::Info);
    return banks;
}

std::optional<TBanks> TRunSession::RestoreDefaults() {
    FDevice->PowerOff();
    std::fill_n(FSavedBanks.begin(), BankCount - 1, 0); // bank 4 keeps its byte
    TBanks banks{};
    if (!EnterTestModeWithBanks(banks)) {
        Tell(EntryError, TRunMessage::Error);
        return std::nullopt;
    }
    Tell("Defualt device values restored", TRunMessage::Info);
    OnMark(TMarkKind::Write, "Defaults restored");
    return banks;
}

bool TRunSession::LeaveDebugMode(const TBanks& Banks) {
    const bool written = WriteBanks(Banks);
    // Whether or not the IC resumes, debug mode ends; only the message tells.
    FState.DebugMode = false;
    Changed();
    // The dongle is still set up from the entry, and it refuses a set-up while the IC is
    // powered ("Power to device is ON"), so none is made here.
    bool resumed = StreamFromTestMode();
    if (resumed && !Report(StartStream())) {
        Tell(StartError, TRunMessage::Warning);
        resumed = false;
    }
    if (resumed)
        Tell("Streaming resumed", TRunMessage::Info);
    else
        Tell(CommsError, TRunMessage::Error);
    return written && resumed;
}

bool TRunSession::PauseStream() {
    return !FState.StreamRunning() || Report(FDevice->StopStreaming());
}

bool TRunSession::RestartStream() {
    if (!FState.StreamRunning()) return true;
    if (Report(StartStream())) return true;
    EndBrokenRun(); // the controls must not offer Stop and Pause for a stream that is gone
    return false;
}

std::optional<TStraps> TRunSession::ReadStraps() {
    if (!CheckPower() || !PauseStream()) return std::nullopt;
    TStraps straps;
    for (size_t i = 0; i < straps.Addresses.size(); ++i) {
        if (!Report(FDevice->IndirectRead(straps.Addresses[i], straps.Values[i]))) {
            RestartStream();
            return std::nullopt;
        }
    }
    FDevice->UseStopCommand();
    RestartStream();
    return straps;
}

bool TRunSession::WriteStraps(const TStraps& Straps) {
    if (!CheckPower()) return false;
    QStringList values;
    for (size_t i = 0; i < Straps.Addresses.size(); ++i) {
        if (!Report(FDevice->IndirectWrite(Straps.Addresses[i], Straps.Values[i]))) return false;
        values << EngineeringFields::TwoDigits(Straps.Values[i]);
    }
    OnMark(TMarkKind::Write, "Straps = " + values.join(' '));
    return true;
}

std::optional<quint8> TRunSession::ReadMemory(std::optional<quint8> Address) {
    if (!CheckPower() || !PauseStream()) return std::nullopt;
    std::optional<quint8> value;
    if (!Address) {
        Tell("No address specified!", TRunMessage::Error);
    } else {
        TKvrByteArray read{};
        if (Report(FTool.I2CRead(quint16(*Address), 1, read))) value = read[0];
    }
    RestartStream();
    return value;
}

bool TRunSession::WriteMemory(quint8 Address, quint8 Value) {
    if (!CheckPower() || !Report(FDevice->WriteReg(Address, Value))) return false;
    // Success stays silent in the messages.
    OnMark(TMarkKind::Write,
           QStringLiteral("Memory 0x%1 = 0x%2")
               .arg(EngineeringFields::TwoDigits(Address), EngineeringFields::TwoDigits(Value)));
    return true;
}

std::optional<quint8> TRunSession::ReadIndirect(std::optional<quint8> Address) {
    if (!CheckPower() || !PauseStream()) return std::nullopt;
    std::optional<quint8> value;
    if (!Address) {
        Tell("No address specified!", TRunMessage::Error);
    } else {
        quint8 read = 0;
        if (!Report(FDevice->IndirectRead(*Address, read))) {
            RestartStream();
            return std::nullopt;
        }
        Tell("Indirect read done", TRunMessage::Info);
        value = read;
    }
    FDevice->UseStopCommand();
    RestartStream();
    return value;
}

bool TRunSession::WriteIndirect(quint8 Address, quint8 Value) {
    if (!CheckPower() || !Report(FDevice->IndirectWrite(Address, Value))) return false;
    Tell("Indirect write done", TRunMessage::Info);
    OnMark(TMarkKind::Write,
           QStringLiteral("Indirect 0x%1 = 0x%2")
               .arg(EngineeringFields::TwoDigits(Address), EngineeringFields::TwoDigits(Value)));
    return true;
}

std::optional<std::array<quint8, 2>> TRunSession::ReadVersion() {
    if (!CheckPower() || !PauseStream()) return std::nullopt;
    TKvrByteArray read{};
    if (!Report(FTool.I2CRead(VersionAddress, 2, read))) {
        RestartStream();
        return std::nullopt;
    }
    if (!RestartStream()) return std::nullopt;
    const QString text =
        EngineeringFields::TwoDigits(read[0]) + " : " + EngineeringFields::TwoDigits(read[1]);
    OnVersion(text);
    Tell("Device Version (PROD:SW):  " + text, TRunMessage::Info);
    return std::array<quint8, 2>{read[0], read[1]};
}
