#include "classlib/stringlist.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using wx::TStringList;

TEST(StringList, SearchIsCaseInsensitiveForAsciiOnly) {
    TStringList l;
    l.Add("Alpha");
    l.Add("\x83\x61");  // Shift-JIS character whose trail byte is 'a'
    EXPECT_EQ(l.IndexOf("ALPHA"), 0);
    EXPECT_EQ(l.IndexOf("\x83\x61"), 1);
    EXPECT_EQ(l.IndexOf("missing"), -1);
}

TEST(StringList, SortedInsertKeepsOrderAndStability) {
    TStringList l;
    l.SetSorted(true);
    l.Add("b");
    l.Add("A");
    l.Add("c");
    l.Add("a");
    ASSERT_EQ(l.Count(), 4u);
    EXPECT_EQ(l[0], "A");
    EXPECT_EQ(l[1], "a");
    EXPECT_EQ(l[2], "b");
    EXPECT_EQ(l[3], "c");
}

TEST(StringList, TextSplitsEveryLineEnding) {
    TStringList l;
    l.SetText("one\r\ntwo\rthree\nfour");
    ASSERT_EQ(l.Count(), 4u);
    EXPECT_EQ(l[3], "four");
    EXPECT_EQ(l.Text(), "one\r\ntwo\r\nthree\r\nfour\r\n");
    l.SetText("\r\n\r\n");
    EXPECT_EQ(l.Count(), 2u);  // empty lines are kept
}

TEST(StringList, NameValuePairs) {
    TStringList l;
    l.Add("Key=1");
    l.SetValue("key", "2");
    l.SetValue("Other", "x=y");
    EXPECT_EQ(l.Count(), 2u);
    EXPECT_EQ(l.Value("KEY"), "2");
    EXPECT_EQ(l.Value("other"), "x=y");
    EXPECT_EQ(l.Name(1), "Other");
    EXPECT_EQ(l.Value("none"), "");
}

TEST(StringList, FileRoundTripAndMissingFile) {
    TStringList l;
    l.Add("\x93\xfa\x96\x7b");  // Shift-JIS bytes pass through untouched
    l.Add("");
    const std::string path = "stringlist_test.txt";
    ASSERT_TRUE(l.SaveToFile(path));
    TStringList r;
    ASSERT_TRUE(r.LoadFromFile(path));
    EXPECT_EQ(r.Text(), l.Text());
    std::remove(path.c_str());
    EXPECT_FALSE(r.LoadFromFile("no/such/dir/file.txt"));
}
