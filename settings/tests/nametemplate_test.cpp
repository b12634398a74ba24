#include "settings/nametemplate.h"

#include <gtest/gtest.h>

#include <string>

#include "output/mp3defs.h"

namespace {
std::string File(const std::string& t, int track, bool* ok = nullptr) {
    std::string out = "<unset>";
    const bool r = ExpandFileNameTemplate(t, track, "Title", "Artist", "Album", "Genre", out);
    if (ok) *ok = r;
    return out;
}
}  // namespace

TEST(FileNameTemplate, CodesAndPadding) {
    std::string out;
    ASSERT_TRUE(ExpandFileNameTemplate("%.02N.%T", 7, "A", "", "", "", out));
    EXPECT_EQ(out, "07.A");
    ASSERT_TRUE(ExpandFileNameTemplate("%.02N.%T", 123, "A", "", "", "", out));
    EXPECT_EQ(out, "123.A");
    EXPECT_EQ(File("%T-%R-%L-%G-%N", 5), "Title-Artist-Album-Genre-5");
    EXPECT_EQ(File("%t-%r-%l-%g-%n", 5), "Title-Artist-Album-Genre-5");
    EXPECT_EQ(File("100%%_%T", 1), "100%_Title");
    EXPECT_EQ(File("%.N", 5), "5");            // no digits: plain number
    EXPECT_EQ(File("%.0n", 5), "5");
    EXPECT_EQ(File("x%.03", 5), "x005");       // precision ended by the template's end
    EXPECT_EQ(File("%.3N%.1N", 42), "04242");
    // Text without codes is copied byte by byte, Shift-JIS included.
    EXPECT_EQ(File("\x83\x5C%T\x95\x5C", 1), "\x83\x5CTitle\x95\x5C");
}

TEST(FileNameTemplate, BadCodesLeaveTheOutputAlone) {
    for (const char* bad : {"%T%", "%", "%X", "a%.2X", "%.2", "%.T"}) {
        bool ok = true;
        const std::string out = File(bad, 3, &ok);
        if (std::string(bad) == "%.2") {
            EXPECT_TRUE(ok);  // a precision at the end is fine
            EXPECT_EQ(out, "03");
            continue;
        }
        EXPECT_FALSE(ok) << bad;
        EXPECT_EQ(out, "<unset>") << bad;
    }
}

TEST(FileNameTemplate, HugePrecisionIsCappedAtTheStemLength) {
    std::string out;
    ASSERT_TRUE(ExpandFileNameTemplate("%.99999999999999999999N", 7, "", "", "", "", out));
    EXPECT_EQ(out.size(), static_cast<std::size_t>(MaxTemplatePrecision));
    EXPECT_EQ(out.back(), '7');
    EXPECT_EQ(out.find_first_not_of('0'), out.size() - 1);
    ASSERT_TRUE(ExpandFileNameTemplate("%.300N", 12, "", "", "", "", out));
    EXPECT_EQ(out.size(), 255u);
    ASSERT_TRUE(ExpandFileNameTemplate("%.255N", 12, "", "", "", "", out));
    EXPECT_EQ(out.size(), 255u);
    ASSERT_TRUE(ExpandFileNameTemplate("%.254N", 12, "", "", "", "", out));
    EXPECT_EQ(out.size(), 254u);
}

TEST(FileNameTemplate, EmptyAlbumAndGenreAreSubstituted) {
    std::string out;
    ASSERT_TRUE(ExpandFileNameTemplate("%T|%R|%L|%G", 1, "", "", "", "", out));
    EXPECT_EQ(out, std::string("||") + NewAlbumName + "|" + NewGenreName);
}

TEST(FolderNameTemplate, CodesAndErrors) {
    std::string out;
    ASSERT_TRUE(ExpandFolderNameTemplate("%G\\%L", "", "", "", false, out));
    EXPECT_EQ(out, std::string(NewGenreName) + "\\" + NewAlbumName);
    ASSERT_TRUE(ExpandFolderNameTemplate("%G\\%R_%L%%", "Art", "Alb", "Rock", false, out));
    EXPECT_EQ(out, "Rock\\Art_Alb%");
    out = "<unset>";
    // A lead byte of the template with no trail byte would join with the
    // text after it ("\x9a" + "\x95\x5c" shows a "\").
    for (const char* bad : {"%T", "%N", "%.2N", "%L%", "%Q", "%G\x9a%L", "%L\x9a"}) {
        EXPECT_FALSE(ExpandFolderNameTemplate(bad, "a", "b", "c", false, out)) << bad;
        EXPECT_EQ(out, "<unset>");
    }
}

TEST(FolderNameTemplate, InvalidCharactersReplacedInValuesOnly) {
    std::string out;
    // An album "AC/DC: Live?" must not become a folder path with a
    // subfolder; the template's own separator stays.
    ASSERT_TRUE(ExpandFolderNameTemplate("%G\\%R_%L", "A\\B", "AC/DC: Live?", "Rock|Pop", false, out));
    EXPECT_EQ(out, "Rock_Pop\\A_B_AC_DC_ Live_");
    ASSERT_TRUE(ExpandFolderNameTemplate("%L", "", "a:b", "", true, out));
    EXPECT_EQ(out, "a\x81\x46" "b");  // a：b
    // Trail bytes 0x5C and 0x7C of double-byte characters are kept.
    ASSERT_TRUE(ExpandFolderNameTemplate("%L", "", "\x83\x5C\x83\x7C", "", false, out));
    EXPECT_EQ(out, "\x83\x5C\x83\x7C");
    // The template's own double-byte characters stay whole; a value's lone
    // lead byte cannot swallow the separator after it.
    ASSERT_TRUE(ExpandFolderNameTemplate("\x83\x5C%L\\%G", "", "\x81", "g", false, out));
    EXPECT_EQ(out, "\x83\x5C_\\g");
}
