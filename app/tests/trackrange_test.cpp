// The track-range dialog's rules: the checks of the minutes, seconds and
// frames fields, the position they give and back (the sign from the minutes), and
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
    // A position before the start is negative as a whole: seconds and
    // frames never are.
    EXPECT_EQ(CheckMsfField(TMsfField::Seconds, "-1"), TFieldCheck::OutOfRange);
    EXPECT_EQ(CheckMsfField(TMsfField::Frames, "-70"), TFieldCheck::OutOfRange);
    EXPECT_EQ(CheckMsfField(TMsfField::Minutes, "-99"), TFieldCheck::Ok);
    for (const char* bad : {"", "-", "1a", " 1"}) EXPECT_EQ(CheckMsfField(TMsfField::Frames, bad), TFieldCheck::NotNumber);
}

TEST(TrackRange, PositionFromFieldsAndBack) {
    struct Row {
        const char *m, *s, *f;
        std::int32_t position;
    };
    // The sign is the minutes text's minus, "-0" included.
    const Row rows[] = {
        {"-0", "2", "0", -150},          {"-1", "0", "0", -4500},
        {"-1", "0", "1", -4501},         {"-1", "2", "3", -(4500 + 150 + 3)},
        {"-0", "0", "1", -1},            {"3", "20", "74", 3 * 4500 + 20 * 75 + 74},
        {"0", "0", "0", 0},              {"-99", "59", "74", -(99 * 4500 + 59 * 75 + 74)},
        {"79", "59", "74", 79 * 4500 + 59 * 75 + 74},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.m) + ":" + r.s + ":" + r.f);
        std::int32_t p = 0;
        ASSERT_TRUE(PositionOfFields(r.m, r.s, r.f, p));
        EXPECT_EQ(p, r.position);
        // Shown again, the fields give the same position.
        const TMsf m = MsfOfSectors(p);
        EXPECT_EQ(std::to_string(m.Seconds), r.s);
        EXPECT_EQ(std::to_string(m.Frames), r.f);
        if (p != 0) EXPECT_EQ(MinutesText(m), r.m);
    }
    // Every value the fields can hold comes back unchanged through the
    // dialog's show and OK.
    for (std::int32_t minutes = -99; minutes < 80; ++minutes)
        for (const bool minusZero : {false, true})
            for (std::int32_t sec : {0, 1, 30, 59})
                for (std::int32_t fr = 0; fr < 75; fr += 7) {
                    const std::string mt = minusZero && minutes == 0 ? "-0" : std::to_string(minutes);
                    std::int32_t p = 0, q = 0;
                    ASSERT_TRUE(PositionOfFields(mt, std::to_string(sec), std::to_string(fr), p));
                    const TMsf m = MsfOfSectors(p);
                    ASSERT_TRUE(PositionOfFields(MinutesText(m), std::to_string(m.Seconds), std::to_string(m.Frames), q));
                    ASSERT_EQ(q, p) << mt << ":" << sec << ":" << fr;
                }
    std::int32_t p = 0;
    EXPECT_FALSE(PositionOfFields("1", "x", "0", p));
    EXPECT_FALSE(PositionOfFields("-", "0", "0", p));
}

TEST(TrackRange, ReservedDeviceNames) {
    for (const char* n : {"CON", "con", "Nul.txt", "AUX", "prn.wav", "COM1", "lpt9.mp3", "NUL ", "conout$"})
        EXPECT_TRUE(IsReservedDeviceName(n)) << n;
    for (const char* n : {"CONTENT", "COM0", "COM10", "console.wav", "track01", "LPT"})
        EXPECT_FALSE(IsReservedDeviceName(n)) << n;
}
