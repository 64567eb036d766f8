#include "HIDToolsErrorCodes.h"
#include "HidApiAccess.h"
#include "HidReportDescriptor.h"
#include "Kelvra.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorText, LooksUpCodesWithTheGenericLowBytes) {
    const std::pair<quint16, const char*> cases[] = {
        {0x0001, "Queue not flushed"},
        {0x0003, "Timeout during operation"},
        {0x0701, "Not a valid DUT voltage"},
        {0x07FE, "Invalid Parameter"},
        {0x16FD, "RF Comms Timeout"},
        {0x00FF, "Invalid Command"},
        {0x0B04, "KVR350 in wrong test state"},
        {0x1204, "KVR350 in wrong test state"},
        {0x0405, "Device did not enter debug mode"},
        {0x5102, "Error finishing programming session"},
        {0x0000, "Unknown error code"},
        {0x0103, "Unknown error code"},
        {0x9999, "Unknown error code"},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(GetErrorText(code).toStdString(), text) << std::hex << code;
}

TEST(KelvraUtilities, ConvertNumbers) {
    EXPECT_EQ(IntegerPower(2, 10), 1024);
    EXPECT_EQ(IntegerPower(7, 0), 1);
    EXPECT_EQ(IntegerPower(7, -3), 1);

    EXPECT_EQ(HexToInt("1F"), 0x1F);
    EXPECT_EQ(HexToInt("a5"), 0xA5);
    EXPECT_EQ(HexToInt("$FC"), 0xFC);
    for (const char* bad : {"", "G1", "12 34", "-5", "0x0x1", "123456789"})
        EXPECT_THROW(HexToInt(bad), EConvertError) << bad;

    EXPECT_EQ(IntToBin(5, 8), "00000101");
    EXPECT_EQ(IntToBin(0xFF, 8), "11111111");
    EXPECT_EQ(BinToInt("00000101"), 5u);
    EXPECT_EQ(BinToInt("1x1"), 5u); // any other character counts as 0
    EXPECT_EQ(BinToInt(""), 0u);
}

TEST(ReportDescriptor, GivesLongestReportsPlusTheIdByte) {
    // Vendor page, 64-byte input and output reports without report IDs.
    const quint8 plain[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00,
                            0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x01,
                            0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0};
    const auto lengths = ParseReportDescriptor(plain, sizeof plain);
    ASSERT_TRUE(lengths);
    EXPECT_EQ(lengths->Input, 65);
    EXPECT_EQ(lengths->Output, 65);
    EXPECT_FALSE(lengths->NumberedReports);

    // Two numbered input reports of 8 and 32 bytes; the longer one counts.
    const quint8 numbered[] = {0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81,
                               0x02, 0x85, 0x02, 0x95, 0x20, 0x81, 0x02};
    const auto withIds = ParseReportDescriptor(numbered, sizeof numbered);
    ASSERT_TRUE(withIds);
    EXPECT_EQ(withIds->Input, 33);
    EXPECT_EQ(withIds->Output, 0);
    EXPECT_TRUE(withIds->NumberedReports);
}

TEST(ReportDescriptor, RefusesMalformedDescriptors) {
    const quint8 truncated[] = {0x75, 0x08, 0x96, 0x40};
    const quint8 popWithoutPush[] = {0xB4};
    const quint8 longItemCut[] = {0xFE};
    EXPECT_FALSE(ParseReportDescriptor(truncated, sizeof truncated));
    EXPECT_FALSE(ParseReportDescriptor(popWithoutPush, sizeof popWithoutPush));
    EXPECT_FALSE(ParseReportDescriptor(longItemCut, sizeof longItemCut));
    EXPECT_FALSE(ParseReportDescriptor(nullptr, 0));
}

TEST(HidApiAccess, EnumeratesAndExplainsWhatCannotBeOpened) {
    THidApiAccess hid; // the real backend, on whatever this machine has
    for (const THidDeviceInfo& info : hid.Enumerate())
        EXPECT_FALSE(info.Path.isEmpty());
    QString error;
    EXPECT_EQ(hid.Open("/dev/hidraw-that-is-not-there", error), nullptr);
    EXPECT_EQ(error, "device gone");
}

} // namespace
