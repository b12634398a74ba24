// The system conversion under the Japanese ANSI code page (932).
#include <windows.h>

#include <gtest/gtest.h>

#include "output/unicodetbl.h"
#include "output/unicodetbl_win.h"

TEST(SystemConversion, RunsUnderCodePage932) { ASSERT_EQ(GetACP(), 932u); }

TEST(SystemConversion, SystemAnswersComeFirst) {
    InstallSystemUnitConverter();
    EXPECT_EQ(SystemUnitToAnsi(u'\u3042'), "\x82\xA0");
    EXPECT_EQ(UcsToSjis(u"\u3042"), "\x82\xA0");
    // Code page 932 maps the vendor characters that the table leaves out.
    EXPECT_EQ(UcsToSjis(u"\u2460"), "\x87\x40");
    EXPECT_EQ(UcsToSjis(u"\uFF5E"), "\x81\x60");
    // The system keeps U+005C a single byte.
    EXPECT_EQ(UcsToSjis(u"a\\b"), "a\\b");
    // An emoji has no mapping anywhere: a question mark per unit.
    EXPECT_EQ(Utf8ToSjis("\xF0\x9F\x8E\xB5"), "??");
    SetSystemUnitConverter(nullptr);
}
