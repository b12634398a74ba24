// The track-range dialog's rules: the checks of the minutes, seconds and
// frames fields, the position they give (the sign from the minutes), and
// the device names the file-name test refuses.
#include <gtest/gtest.h>

#include "app/trackrange.h"

using namespace wx;

TEST(TrackRange, FieldChecks) {
    EXPECT_EQ(CheckMsfField(TMsfField::Minutes, "79"), TFieldCheck::Ok);
    EXPECT_EQ(CheckMsfField(TMsfField::Minutes, "80"), TFieldCheck::OutOfRange);
    EXPECT_EQ(CheckMsfField(TMsfField::Minutes, "-5"), TFieldCheck::Ok);
    EXPECT_EQ(CheckMsfField(TMsfField::Seconds, "59"), TFieldCheck::Ok);
    EXPECT_EQ(CheckMsfField(TMsfField::Seconds, "60"), TFieldCheck::OutOfRange);
    EXPECT_EQ(CheckMsfField(TMsfField::Frames, "74"), TFieldCheck::Ok);
    EXPECT_EQ(CheckMsfField(TMsfField::Frames, "75"), TFieldCheck::OutOfRange);
    for (const char* bad : {"", "-", "1a", " 1"}) EXPECT_EQ(CheckMsfField(TMsfField::Frames, bad), TFieldCheck::NotNumber);
}

TEST(TrackRange, PositionFromFieldsAndBack) {
    std::int32_t p = 0;
    ASSERT_TRUE(PositionOfFields("-0", "2", "0", p));
    EXPECT_EQ(p, 150);  // minus zero minutes count forward
    ASSERT_TRUE(PositionOfFields("-1", "0", "0", p));
    EXPECT_EQ(p, -4500);
    ASSERT_TRUE(PositionOfFields("-1", "2", "3", p));
    EXPECT_EQ(p, -(4500 + 150 + 3));
    ASSERT_TRUE(PositionOfFields("3", "20", "74", p));
    EXPECT_EQ(p, 3 * 4500 + 20 * 75 + 74);
    EXPECT_FALSE(PositionOfFields("1", "x", "0", p));
    const TMsf m = MsfOfSectors(3 * 4500 + 20 * 75 + 74);
    EXPECT_EQ(m.Minutes, 3);
    EXPECT_EQ(m.Seconds, 20);
    EXPECT_EQ(m.Frames, 74);
}

TEST(TrackRange, ReservedDeviceNames) {
    for (const char* n : {"CON", "con", "Nul.txt", "AUX", "prn.wav", "COM1", "lpt9.mp3", "NUL ", "conout$"})
        EXPECT_TRUE(IsReservedDeviceName(n)) << n;
    for (const char* n : {"CONTENT", "COM0", "COM10", "console.wav", "track01", "LPT"})
        EXPECT_FALSE(IsReservedDeviceName(n)) << n;
}
