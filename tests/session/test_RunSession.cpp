#include "HIDToolsErrorCodes.h"
#include "KelvraDevList.h"
#include "KelvraHIDTool.h"
#include "KelvraPXS731.h"
#include "RunControls.h"
#include "RunSession.h"
#include "SimFixture.h"
#include "VirtualPXS733.h"

#include <gtest/gtest.h>

namespace {

using namespace DongleCode;

// A run session on a simulated dongle with a virtual PXS733, its messages collected.
struct SessionTest : ::testing::Test {
    TSimHidAccess hid;
    std::shared_ptr<TVirtualPXS733> ic = std::make_shared<TVirtualPXS733>();
    std::shared_ptr<TVirtualDongle> dongle =
        std::make_shared<TVirtualDongle>(TVirtualDongleConfig(), ic);
    std::unique_ptr<TKelvraDevList> list;
    TKelvraHidTool tool;
    std::unique_ptr<TRunSession> session;
    QStringList messages;
    TSubscription told;
    TSimHidDevice::TClock::time_point now = TSimHidDevice::TClock::now();

    void SetUp() override {
        dongle->SetAutoPump(false);
        dongle->SetClock([this] { return now; });
        hid.Plug(dongle);
        list = std::make_unique<TKelvraDevList>(hid);
        list->Activate();
        ProcessPostedEvents();
        tool.SetKelvraDevList(list.get());
        tool.SetCurrentDevice(0);
        session = std::make_unique<TRunSession>(tool);
        session->SetDongleUsable(true);
        told = session->OnMessage.Subscribe([this](const QString& Text, TRunMessage Kind) {
            messages << (Kind == TRunMessage::Info    ? ""
                         : Kind == TRunMessage::Error ? "E:"
                                                      : "W:") +
                            Text;
        });
    }
    // The state as flags: set-up, power, streaming, paused, debug, link held, I2C.
    QString State() const {
        const TRunState& s = session->State();
        QString flags;
        for (const auto& [on, letter] : {std::pair{s.CTSetup, 'S'},
                                         {s.PowerOn, 'P'},
                                         {s.Streaming, 'T'},
                                         {s.Paused, 'Z'},
                                         {s.DebugMode, 'D'},
                                         {s.LinkHeld, 'L'},
                                         {!s.Link1Wire, 'I'}})
            flags += on ? letter : '-';
        return flags;
    }
    // Command codes sent since the last call.
    QList<int> Codes() {
        QList<int> codes;
        for (const QByteArray& r : dongle->Requests())
            codes << quint8(r[2]);
        dongle->ClearRequests();
        return codes;
    }
    // Whether the five banks were read from the IC since the requests were cleared.
    bool ReadsTheBanks() const {
        for (const QByteArray& r : dongle->Requests())
            if (quint8(r[2]) == I2CRead && r.mid(3, 3) == QByteArray("\x01\x10\x05", 3))
                return true;
        return false;
    }
    void Fail(quint8 Code) {
        ChangeFaults(*dongle, [Code](TDongleFaults& f) { f.ErrorForCommand[Code] = 0x0401; });
    }
    void Heal() {
        ChangeFaults(*dongle, [](TDongleFaults& f) { f.ErrorForCommand.clear(); });
    }
};

TEST_F(SessionTest, ARunGoesThroughItsStates) {
    struct Step {
        const char* name;
        std::function<bool(TRunSession&)> act;
        const char* state;
        const char* message; // the last line told
    } const steps[] = {
        {"power on", [](TRunSession& s) { return s.PowerOn(); }, "SP-----", "Device powered on"},
        {"start", [](TRunSession& s) { return s.Start(false); }, "SPT--L-",
         "Device streaming started"},
        {"pause", [](TRunSession& s) { return s.Pause(); }, "SP-Z-L-", "Device streaming paused"},
        {"resume", [](TRunSession& s) { return s.Resume(); }, "SPT--L-",
         "Device streaming resumed"},
        // Switching the power off keeps the link held; only Stop gives it back.
        {"power off", [](TRunSession& s) { return (s.PowerOff(), true); }, "-----L-",
         "Device powered off"},
        {"stop", [](TRunSession& s) { return (s.Stop(), true); }, "-------", "E:Power already off"},
    };
    for (const Step& step : steps) {
        EXPECT_TRUE(step.act(*session)) << step.name;
        EXPECT_EQ(State(), step.state) << step.name;
        EXPECT_EQ(messages.last(), step.message) << step.name;
    }
    EXPECT_FALSE(dongle->State().Powered);
}

TEST_F(SessionTest, StartSetsUpPowersAndStreamsInOrder) {
    ASSERT_TRUE(session->Start(false));
    EXPECT_EQ(Codes(),
              (QList<int>{SetICType, SetDUTVoltage, SetLSVoltage, SetupComms, IORead, IORead,
                          IOWrite, PowerOn, IOWrite, GetCTFWVersion, StartStreaming}));
    // Samples come decoded, with the bytes they came in.
    int samples = 0;
    auto counted = session->OnSample.Subscribe(
        [&](const TDecodedSample& s, const quint8*, int) { samples += s.CountShown ? 1 : 0; });
    now += std::chrono::milliseconds(100);
    dongle->Pump();
    EXPECT_TRUE(ProcessEventsUntil([&] { return samples > 10; }));
    session->Stop();
}

TEST_F(SessionTest, DebugStartSwitchesToI2CAndStopSwitchesBack) {
    std::vector<bool> links;
    auto changed =
        session->OnLinkChanged.Subscribe([&](bool OneWire) { links.push_back(OneWire); });
    ASSERT_TRUE(session->Start(true));
    EXPECT_EQ(State(), "SPT--LI");
    EXPECT_EQ(ic->Banks()[1] & 0x04, 0x04); // the STREAM bit opens the I2C stream
    EXPECT_TRUE(messages.last().startsWith("Device streaming started"));
    EXPECT_TRUE(messages.filter("Device Version (PROD:SW):  ").size() == 1);
    session->Stop();
    EXPECT_EQ(State(), "-------");
    EXPECT_EQ(links, (std::vector<bool>{false, true}));
}

TEST_F(SessionTest, FailuresLeaveAStateThatMatchesTheIC) {
    struct Case {
        const char* name;
        quint8 failing;
        std::function<void(TRunSession&)> act;
        const char* state;
    } const cases[] = {
        // The stop was refused: the stream still runs, so the run is not paused.
        {"pause", StopStreaming, [](TRunSession& s) { s.Pause(); }, "SPT--L-"},
        // The stream did not come back after a new set-up: the run ends.
        {"restart", StartStreaming, [](TRunSession& s) { s.RestartStreaming(); }, "-------"},
        // A read that cannot restart the stream ends the run too.
        {"read", StartStreaming, [](TRunSession& s) { s.ReadMemory(quint8(0x01)); }, "-------"},
        {"resume", StartStreaming,
         [](TRunSession& s) {
             s.Pause();
             s.Resume();
         },
         "SP-Z-L-"},
    };
    for (const Case& c : cases) {
        Heal();
        session->Stop();
        ASSERT_TRUE(session->Start(false)) << c.name;
        Fail(c.failing);
        messages.clear();
        c.act(*session);
        EXPECT_EQ(State(), c.state) << c.name;
        EXPECT_TRUE(messages.contains("E:" + GetErrorText(0x0401))) << c.name;
    }
    EXPECT_EQ(messages.last(), "W:Unable to start device streaming!");
}

TEST_F(SessionTest, AFailedStartEndsIdleWithAWarning) {
    Fail(StartStreaming);
    EXPECT_FALSE(session->Start(false));
    EXPECT_EQ(State(), "-------");
    EXPECT_EQ(messages.last(), "W:Unable to start device streaming!");
    EXPECT_FALSE(dongle->State().Powered);
}

TEST_F(SessionTest, ALinkChangeAsksForANewSetUp) {
    ASSERT_TRUE(session->PowerOn());
    session->SetLink(false);
    EXPECT_EQ(State(), "------I");
    Codes();
    ASSERT_TRUE(session->Start(false));
    EXPECT_TRUE(Codes().contains(ConfigI2C)); // the dongle set up for I2C before the start
    session->Stop();
}

TEST_F(SessionTest, SavedBanksCountOnlyForBanksZeroToThree) {
    struct Case {
        const char* name;
        FuseBanks::TBanks saved;
        bool readsTheIC;
    } const cases[] = {
        {"nothing saved", {0, 0, 0, 0, 0}, true},
        {"bank 4 alone", {0, 0, 0, 0, 0x10}, true},
        {"bank 3", {0, 0, 0, 0xA5, 0}, false},
        {"marker in bank 0", {0xA5, 0, 0, 0, 0}, false},
    };
    session->SetLink(false);
    for (const Case& c : cases) {
        session->Stop();
        ASSERT_TRUE(session->Start(false)) << c.name;
        ASSERT_TRUE(session->EnterDebugMode()) << c.name;
        ASSERT_TRUE(session->WriteBanks(c.saved)) << c.name;
        session->LeaveDebugMode(c.saved);
        messages.clear();
        dongle->ClearRequests();
        const std::optional<FuseBanks::TBanks> shown = session->EnterDebugMode();
        ASSERT_TRUE(shown) << c.name;
        EXPECT_EQ(ReadsTheBanks(), c.readsTheIC) << c.name;
        EXPECT_EQ(messages.contains("Data written successfully"), !c.readsTheIC) << c.name;
        if (!c.readsTheIC) {
            EXPECT_EQ(*shown, c.saved) << c.name;
        }
        EXPECT_EQ(State(), "SPT-DLI") << c.name;
        session->LeaveDebugMode(*shown);
    }
    // Power-off forgets them.
    session->PowerOff();
    EXPECT_EQ(session->SavedBanks(), FuseBanks::TBanks{});
}

TEST_F(SessionTest, ToolsNeedPowerAndAnAddress) {
    EXPECT_FALSE(session->ReadMemory(quint8(0)));
    EXPECT_FALSE(session->WriteIndirect(0x10, 1));
    EXPECT_EQ(messages, QStringList({"E:Device power is off!", "E:Device power is off!"}));
    EXPECT_TRUE(Codes().isEmpty());

    session->SetLink(false);
    ASSERT_TRUE(session->Start(false));
    Codes();
    // No address: the stream pauses and restarts around the message, as for a read.
    EXPECT_FALSE(session->ReadMemory(std::nullopt));
    EXPECT_EQ(messages.last(), "E:No address specified!");
    QList<int> codes = Codes();
    codes.removeIf([](int c) { return c != StopStreaming && c != StartStreaming; });
    EXPECT_EQ(codes, (QList<int>{StopStreaming, StartStreaming}));
    EXPECT_TRUE(session->WriteMemory(0x10, 0xFF));
    EXPECT_EQ(session->ReadMemory(quint8(0x10)), quint8(0xFF));
    session->Stop();
}

TEST_F(SessionTest, WritesAndFlagChangesAreMarked) {
    QStringList marks;
    auto marked = session->OnMark.Subscribe([&](TMarkKind Kind, const QString& Text) {
        marks << QString("WPFU"[int(Kind)]) + ":" + Text;
    });
    ic->SetEventPeriod(0);
    session->SetLink(false);
    ASSERT_TRUE(session->Start(true));
    ASSERT_TRUE(session->WriteMemory(0x20, 0x5A));
    ASSERT_TRUE(session->WriteIndirect(0x53, 0x0C));
    ASSERT_TRUE(session->WriteStraps({{1, 2, 3, 4}}));
    ASSERT_TRUE(session->EnterDebugMode());
    ASSERT_TRUE(session->WriteBanks({0x48, 0x05, 0x24, 0x03, 0x00}));
    ASSERT_TRUE(session->WriteBanks({0x48, 0x05, 0x5A, 0x03, 0x00})); // only bank 2 changed
    EXPECT_EQ(marks, (QStringList{"P:Link I2C", "W:Memory 0x20 = 0x5A", "W:Indirect 0x53 = 0x0C",
                                  "W:Straps = 01 02 03 04", "W:Bank 0 = 0x48", "W:Bank 1 = 0x05",
                                  "W:Bank 2 = 0x24", "W:Bank 3 = 0x03", "W:Bank 4 = 0x00",
                                  "W:Bank 2 = 0x5A"}));
    session->Stop();
    marks.clear();

    // A touch: its flags going on and off, once each.
    session->SetLink(true);
    ASSERT_TRUE(session->Start(false));
    dongle->WithIC([](TSimIC& IC) { static_cast<TVirtualPXS733&>(IC).Touch(1, 150); });
    int flagged = 0;
    auto sampled = session->OnSample.Subscribe(
        [&](const TDecodedSample& S, const quint8*, int) { flagged += S.SysFlags.has_value(); });
    for (int i = 1; i <= 30; ++i) { // 10 samples each
        now += std::chrono::milliseconds(100);
        dongle->Pump();
        ProcessEventsUntil([&] { return flagged >= 10 * i; }, 1000);
    }
    EXPECT_EQ(marks.filter("Touch on").size(), 1) << marks.join(", ").toStdString();
    EXPECT_EQ(marks.filter("Touch off").size(), 1) << marks.join(", ").toStdString();
    EXPECT_LT(marks.indexOf("F:Touch on"), marks.indexOf("F:Touch off"));
    session->PowerOff();
    EXPECT_EQ(marks.last(), "P:Power off");
}

// A run whose dongle is unplugged and plugged back.
struct ReplugTest : SessionTest {
    static constexpr int LimitMs = 60000;
    QList<TDongleAbsence> restored;
    TSubscription restoredTold;

    void SetUp() override {
        SessionTest::SetUp();
        session->SetReconnectLimit(LimitMs);
        restoredTold =
            session->OnRunRestored.Subscribe([this](const TDongleAbsence& a) { restored << a; });
    }
    // What the window does when the dongle list changes.
    void Unplug() {
        hid.Unplug(dongle);
        ProcessPostedEvents();
        session->DevicesChanged();
        session->DongleGone();
    }
    void Plug(const std::shared_ptr<TVirtualDongle>& Which) {
        hid.Plug(Which);
        ProcessPostedEvents();
        session->DevicesChanged();
        tool.SetCurrentDevice(0);
        session->DongleReady();
    }
    // Until the run is put back or the settling time is well over.
    void WaitForRestore() {
        ProcessEventsUntil([this] { return !session->State().Waiting; },
                           2 * TRunSession::RestoreSettleMs);
    }
    std::array<quint8, 4> IcBanks() const {
        std::array<quint8, 4> banks{};
        std::copy_n(ic->Banks().begin(), 4, banks.begin());
        return banks;
    }
};

TEST_F(ReplugTest, ARunIsPutBackAsItWasWhenItsDongleReturns) {
    const FuseBanks::TBanks written{0x40, 0x05, 0x25, 0x13, 0x00};
    struct Case {
        const char* name;
        std::function<void(TRunSession&)> run;
        const char* state;
        bool streams;
        bool banks;
    } const cases[] = {
        {"powered", [](TRunSession& s) { s.PowerOn(); }, "SP-----", false, false},
        {"streaming", [](TRunSession& s) { s.Start(false); }, "SPT--L-", true, false},
        {"paused", [](TRunSession& s) { s.Start(false), s.Pause(); }, "SP-Z-L-", false, false},
        {"debug mode with written banks",
         [&](TRunSession& s) { s.Start(true), s.EnterDebugMode(), s.WriteBanks(written); },
         "SPT-DLI", false, true},
        {"streaming with written banks",
         [&](TRunSession& s) { s.Start(true), s.EnterDebugMode(), s.LeaveDebugMode(written); },
         "SPT--LI", true, true},
    };
    for (const Case& c : cases) {
        c.run(*session);
        ASSERT_EQ(State(), c.state) << c.name;
        Unplug();
        EXPECT_TRUE(session->State().Waiting) << c.name;
        EXPECT_EQ(messages.last(), "E:Dongle SIM000001 unplugged; waiting for it to return")
            << c.name;
        Plug(dongle);
        WaitForRestore();
        EXPECT_EQ(State(), c.state) << c.name;
        EXPECT_FALSE(session->State().Waiting) << c.name;
        EXPECT_TRUE(messages.last().startsWith("Dongle SIM000001 returned after ")) << c.name;
        EXPECT_EQ(dongle->State().Streaming, c.streams) << c.name;
        if (c.banks) {
            EXPECT_EQ(IcBanks(), (std::array<quint8, 4>{0x40, 0x05, 0x25, 0x13})) << c.name;
        }
        ASSERT_EQ(restored.size(), 1) << c.name;
        EXPECT_EQ(restored[0].Serial, "SIM000001");
        EXPECT_LE(restored[0].Gone, restored[0].Back);
        restored.clear();
        session->Stop();
    }
}

TEST_F(ReplugTest, TheWaitEndsByTimeUserOrRefusal) {
    auto other = std::make_shared<TVirtualDongle>(
        TVirtualDongleConfig{.Serial = QStringLiteral("OTHER1")}, ic);
    struct Case {
        const char* name;
        std::function<void(ReplugTest&)> act;
        const char* told; // the last line
    } const cases[] = {
        {"time limit",
         [](ReplugTest& t) {
             ProcessEventsUntil([&] { return !t.session->State().Waiting; }, 1000);
         },
         "E:Dongle SIM000001 did not return within 0.1 s; the run ended"},
        {"stop", [](ReplugTest& t) { t.session->Stop(); },
         "Stopped waiting for dongle SIM000001; the run ended"},
        {"power", [](ReplugTest& t) { t.session->PowerOn(); },
         "Stopped waiting for dongle SIM000001; the run ended"},
        {"refused on return",
         [](ReplugTest& t) {
             t.Plug(t.dongle);
             t.session->SetDongleUsable(false);
             t.session->SetDongleUsable(true);
         },
         "E:Dongle SIM000001 returned but cannot be used; the run ended"},
    };
    session->SetReconnectLimit(100);
    for (const Case& c : cases) {
        ASSERT_TRUE(session->Start(false)) << c.name;
        Unplug();
        c.act(*this);
        EXPECT_FALSE(session->State().Waiting) << c.name;
        EXPECT_EQ(State(), "-------") << c.name;
        EXPECT_EQ(messages.last(), c.told) << c.name;
        // Nothing is put back afterwards.
        if (!hid.Enumerate().isEmpty()) Unplug();
        Plug(dongle);
        ProcessEventsUntil([] { return false; }, 2 * TRunSession::RestoreSettleMs);
        EXPECT_TRUE(restored.isEmpty()) << c.name;
        EXPECT_EQ(State(), "-------") << c.name;
    }

    // Another dongle is not taken over: the run waits on for its own.
    session->SetReconnectLimit(LimitMs);
    ASSERT_TRUE(session->Start(false));
    Unplug();
    Plug(other);
    WaitForRestore();
    EXPECT_TRUE(session->State().Waiting);
    EXPECT_EQ(session->WaitingFor(), "SIM000001");
}

TEST_F(ReplugTest, AFlappingDongleIsPutBackOnceItStays) {
    ASSERT_TRUE(session->Start(false));
    messages.clear();
    for (int i = 0; i < 10; ++i) {
        Unplug();
        Plug(dongle);
    }
    WaitForRestore();
    EXPECT_EQ(State(), "SPT--L-");
    EXPECT_EQ(restored.size(), 1);
    // One line for the first unplug (the run waits from then on) and one for the return.
    EXPECT_EQ(messages.filter("unplugged").size(), 1);
    EXPECT_EQ(messages.filter("returned after").size(), 1);

    // A return whose putting back fails (as when the dongle goes again meanwhile): the run
    // ends and says so once.
    Unplug();
    Plug(dongle);
    Fail(DongleCode::StartStreaming);
    WaitForRestore();
    EXPECT_EQ(State(), "-------");
    EXPECT_EQ(messages.last(), "E:Dongle SIM000001 returned, but its run could not be put back");
}

TEST(RunControls, FollowTheState) {
    struct Case {
        const char* name;
        TRunState state;
        const char* captions; // state name: Start/Pause/Power
        const char* enabled;  // start, debug start, pause, power, set-up, link, enter, straps,
                              // edits
    } const cases[] = {
        {"no dongle", {}, "Idle: Start/Pause/Power On", "-----L---"},
        {"idle", {.DongleUsable = true}, "Idle: Start/Pause/Power On", "SD-PCL---"},
        {"powered",
         {.DongleUsable = true, .CTSetup = true, .PowerOn = true},
         "Powered: Start/Pause/Power Off",
         "SD-PCL---"},
        {"streaming 1-Wire",
         {.DongleUsable = true, .PowerOn = true, .Streaming = true, .LinkHeld = true},
         "Streaming: Stop/Pause/Power Off",
         "S-pPC----"},
        {"paused I2C",
         {.DongleUsable = true,
          .Link1Wire = false,
          .PowerOn = true,
          .Paused = true,
          .LinkHeld = true},
         "Paused: Stop/Resume/Power Off",
         "S-pPC-ET-"},
        {"debug mode",
         {.DongleUsable = true,
          .Link1Wire = false,
          .PowerOn = true,
          .Streaming = true,
          .DebugMode = true,
          .LinkHeld = true},
         "Debug mode: Resume/Pause/Power Off",
         "S------TB"},
        {"powered off, link held",
         {.DongleUsable = true, .LinkHeld = true},
         "Idle: Start/Pause/Power On",
         "SD-PC----"},
        {"waiting for the dongle",
         {.DongleUsable = true, .Link1Wire = false, .LinkHeld = true, .Waiting = true},
         "Waiting for dongle: Stop/Pause/Power Off",
         "S--P-----"},
    };
    for (const Case& c : cases) {
        const TRunControls r = RunControls(c.state, true);
        EXPECT_EQ(r.StateName + ": " + r.Start + "/" + r.Pause + "/" + r.Power, c.captions)
            << c.name;
        QString enabled;
        for (const auto& [on, letter] : {std::pair{r.StartEnabled, 'S'},
                                         {r.StartDebugEnabled, 'D'},
                                         {r.PauseEnabled, 'p'},
                                         {r.PowerEnabled, 'P'},
                                         {r.StreamSetupEnabled, 'C'},
                                         {r.LinkEnabled, 'L'},
                                         {r.EnterDebugEnabled, 'E'},
                                         {r.StrapsEnabled, 'T'},
                                         {r.DebugEditsEnabled, 'B'}})
            enabled += on ? letter : '-';
        EXPECT_EQ(enabled, c.enabled) << c.name;
    }
}

} // namespace
