#include "EngineeringFields.h"

#include <gtest/gtest.h>

using namespace EngineeringFields;

namespace {

TEST(EngineeringFields, HexValueTakesOneOrTwoDigitsOnly) {
    const struct {
        const char* text;
        std::optional<quint8> value;
    } cases[] = {
        {"0", 0x00},          {"53", 0x53},         {"FF", 0xFF},         {"a5", 0xA5},
        {"", std::nullopt},   {"G1", std::nullopt}, {"$1", std::nullopt}, {"-1", std::nullopt},
        {"+1", std::nullopt}, {" 1", std::nullopt}, {"1 ", std::nullopt}, {"100", std::nullopt},
        {"0x", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(HexValue(c.text), c.value);
    }
    EXPECT_EQ(ConversionError("G1"), "'$G1' is not a valid integer value");
    EXPECT_EQ(TwoDigits(0x0A), "0A");
    EXPECT_EQ(TwoDigits(0xFF), "FF");
}

TEST(EngineeringFields, TimerLabels) {
    const QLocale english(QLocale::English);
    EXPECT_EQ(ShortTimerText(0, english), "= 0.5s");
    EXPECT_EQ(ShortTimerText(1, english), "= 1s");
    EXPECT_EQ(ShortTimerText(3, english), "= 2s");
    EXPECT_EQ(ShortTimerText(2, QLocale(QLocale::German)), "= 1,5s");
    EXPECT_EQ(ShortTimerText(255, english), "= 128s");
    EXPECT_EQ(LongTimerText(0), "= 15s");
    EXPECT_EQ(LongTimerText(3), "= 60s");
    EXPECT_EQ(LongTimerText(255), "= 3840s");
}

} // namespace
