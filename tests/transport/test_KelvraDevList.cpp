#include "KelvraDevList.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

namespace {

// A dongle list over simulated HID access that records its events.
struct DevListTest : ::testing::Test {
    TSimHidAccess hid;
    std::unique_ptr<TKelvraDevList> list;
    QStringList events;
    std::vector<TSubscription> subscriptions;

    void Start() {
        list = std::make_unique<TKelvraDevList>(hid);
        subscriptions.push_back(list->OnDeviceChange.Subscribe([this](QObject*, bool arrived) {
            events << QStringLiteral("change %1 %2").arg(arrived).arg(list->HidDevices().Count);
        }));
        subscriptions.push_back(
            list->OnMultipleDevices.Subscribe([this](QObject*, const QStringList& names) {
                events << "multiple " + names.join(',');
            }));
        list->Activate();
        ProcessPostedEvents();
    }
    void Settle() { ProcessPostedEvents(); }
};

TEST_F(DevListTest, NoDeviceGivesOneStartUpPassWithoutDongles) {
    Start();
    EXPECT_EQ(events, QStringList{"change 0 0"});
    EXPECT_FALSE(list->Connected());
    EXPECT_EQ(list->HidDevices().Count, 0);
}

TEST_F(DevListTest, ClaimsEveryDeviceButListsOnlyDongles) {
    hid.Plug(MakeKeyboard());
    hid.Plug(MakeHidDevice(0x2150, 0x0305, "Kelvra other")); // same maker, not a dongle
    hid.Plug(MakeDongle("S1"));
    Start();
    EXPECT_EQ(events, QStringList{"change 0 1"}); // present at start: no arrival
    ASSERT_EQ(list->DeviceCount(), 3);
    const TCTData& dongles = list->HidDevices();
    ASSERT_EQ(dongles.Count, 1);
    EXPECT_EQ(dongles.Name, QStringList{"Kelvra LK600"});
    EXPECT_EQ(dongles.Index, QStringList{"2"});
    EXPECT_EQ(dongles.VendorID, QStringList{"8528"});
    EXPECT_EQ(dongles.ProductID, QStringList{"258"});
    EXPECT_EQ(dongles.SerialNumber, QStringList{"S1"});
    EXPECT_EQ(dongles.Objects[0], list->Device(2));
    EXPECT_TRUE(list->Connected());
}

TEST_F(DevListTest, DongleArrivingWhileAHandlerRunsANestedEventLoopIsListed) {
    Start();
    auto second = MakeDongle("S2");
    bool nested = false;
    subscriptions.front().Reset();
    auto nestedChange = list->OnDeviceChange.Subscribe([&](QObject*, bool) {
        events << QStringLiteral("change %1").arg(list->HidDevices().Count);
        if (nested) return;
        nested = true;
        // As a modal dialog does: the second dongle's change comes inside this handler.
        hid.Plug(second);
        ProcessPostedEvents();
    });
    hid.Plug(MakeDongle("S1"));
    Settle();
    EXPECT_EQ(list->HidDevices().Count, 2);
    EXPECT_EQ(events, (QStringList{"change 0 0", "change 1", "change 2",
                                   "multiple Kelvra LK600,Kelvra LK600"}));
}

TEST_F(DevListTest, TwoDonglesRaiseChangeThenMultiple) {
    Start();
    hid.Plug(MakeDongle("S1", 0x0102, "Kelvra LK600"));
    hid.Plug(MakeDongle("S2", 0x0105, "Kelvra LK620"));
    Settle();
    EXPECT_EQ(events,
              (QStringList{"change 0 0", "change 1 2", "multiple Kelvra LK600,Kelvra LK620"}));
}

TEST_F(DevListTest, UnplugKeepsTheOrderOfTheOthers) {
    auto first = MakeDongle("S1");
    auto middle = MakeKeyboard();
    auto last = MakeDongle("S3");
    for (const auto& d : {std::static_pointer_cast<TSimHidDevice>(first), middle,
                          std::static_pointer_cast<TSimHidDevice>(last)})
        hid.Plug(d);
    Start();
    EXPECT_EQ(list->HidDevices().Index, (QStringList{"0", "2"}));

    hid.Unplug(middle);
    Settle();
    ASSERT_EQ(list->DeviceCount(), 2);
    EXPECT_EQ(list->HidDevices().SerialNumber, (QStringList{"S1", "S3"}));
    EXPECT_EQ(list->HidDevices().Index, (QStringList{"0", "1"}));
    EXPECT_EQ(events.last(), "multiple Kelvra LK600,Kelvra LK600");
    EXPECT_EQ(events[events.size() - 2], "change 0 2"); // only removals: no arrival
}

TEST_F(DevListTest, ArrivalOfAnyDeviceIsReportedOnce) {
    Start();
    hid.Plug(MakeKeyboard());
    Settle();
    list->HidDeviceChange(); // nothing new
    EXPECT_EQ(events, (QStringList{"change 0 0", "change 1 0"}));
}

TEST_F(DevListTest, InactiveListUpdatesSilentlyAndKeepsTheArrival) {
    list = std::make_unique<TKelvraDevList>(hid);
    auto change = list->OnDeviceChange.Subscribe(
        [this](QObject*, bool arrived) { events << QString::number(arrived); });
    Settle();
    auto keyboard = MakeKeyboard();
    hid.Plug(MakeDongle());
    hid.Plug(keyboard);
    Settle();
    EXPECT_TRUE(events.isEmpty());
    EXPECT_TRUE(list->Connected());

    list->Activate();
    hid.Unplug(keyboard); // a removal only, but the arrival is still unreported
    Settle();
    EXPECT_EQ(events, QStringList{"1"});
}

TEST_F(DevListTest, ReplacedListKeepsHearingOfChanges) {
    Start();
    list = std::make_unique<TKelvraDevList>(hid); // the old list goes after the new one came
    list->Activate();
    Settle();
    hid.Plug(MakeDongle());
    Settle();
    EXPECT_TRUE(list->Connected());
}

TEST_F(DevListTest, DeviceWithoutProductStringGetsItsIds) {
    hid.Plug(MakeDongle("S1", 0x0102, QString()));
    hid.Plug(MakeHidDevice(0x04D8, 0xFE04, QString()));
    Start();
    EXPECT_EQ(list->HidDevices().Name,
              (QStringList{"Device VID=2150 PID=0102", "Device VID=04D8 PID=FE04"}));
}

TEST_F(DevListTest, DeviceThatCannotBeOpenedIsListedWithItsReason) {
    auto dongle = MakeDongle();
    dongle->SetOpenError("permission denied");
    hid.Plug(dongle);
    Start();
    ASSERT_EQ(list->HidDevices().Count, 1);
    THidDevice* device = list->HidDevices().Objects[0];
    EXPECT_FALSE(device->IsOpen());
    EXPECT_EQ(device->OpenError(), "permission denied");
}

TEST_F(DevListTest, UnpluggingTheStreamingDongleClearsItsSlotAndCounter) {
    auto streaming = MakeDongle("S1", 0x0102, "A", 3);
    auto other = MakeDongle("S2", 0x0102, "B", 4);
    hid.Plug(streaming);
    hid.Plug(other);
    Start();
    TStreamingRegistry& streams = list->Streams();
    streams.Register(list->HidDevices().Objects[0], 3);

    hid.Unplug(other);
    Settle();
    EXPECT_TRUE(list->IsStreaming());
    EXPECT_FALSE(streams.JustStopped);

    hid.Unplug(streaming);
    Settle();
    EXPECT_FALSE(list->IsStreaming());
    EXPECT_TRUE(streams.JustStopped);
    EXPECT_EQ(streams.NumberOfDevices(), 0);
    EXPECT_EQ(streams.Slots()[0].Device, nullptr);
    EXPECT_TRUE(streams.StreamingCounter.DevID.empty());
    EXPECT_TRUE(streams.StreamingCounter.Counter.empty());
}

TEST(DongleFilter, KnowsTheDongleIds) {
    const std::tuple<quint16, quint16, bool> cases[] = {
        {0x2150, 0x0100, true},  {0x2150, 0x01FF, true},  {0x2150, 0x0201, true},
        {0x2150, 0x0202, false}, {0x2150, 0x0203, false}, {0x2150, 0x0301, true},
        {0x2150, 0x0304, true},  {0x2150, 0x0305, false}, {0x2150, 0x0306, true},
        {0x2150, 0x0400, true},  {0x2150, 0x04FF, true},  {0x2150, 0x0500, false},
        {0x0483, 0x5751, true},  {0x0483, 0x5750, false}, {0x04D8, 0xFE04, true},
        {0x04D8, 0x0102, false}, {0x046D, 0x0102, false},
    };
    for (const auto& [vid, pid, dongle] : cases)
        EXPECT_EQ(TKelvraDevList::IsDongle(vid, pid), dongle) << std::hex << vid << ":" << pid;
}

} // namespace
