// The rules of the file manager's commands: keys, file lists for the
// shell, the jump to a typed folder, the attribute form's fields, the
// context menu's classes and ids, shortcut names and edge scrolling.
#include <gtest/gtest.h>

#include <set>

#include "app/filercmds.h"

using namespace filer;

TEST(FilerKeys, TableOfTwelve) {
    EXPECT_EQ(FindKeyCommand('C'), kcCopyMoveDelete);
    EXPECT_EQ(FindKeyCommand('M'), kcCopyMoveDelete);
    EXPECT_EQ(FindKeyCommand('D'), kcCopyMoveDelete);
    EXPECT_EQ(FindKeyCommand(0x2E), kcCopyMoveDelete);
    EXPECT_EQ(FindKeyCommand('R'), kcRenameAttr);
    EXPECT_EQ(FindKeyCommand('A'), kcRenameAttr);
    EXPECT_EQ(FindKeyCommand('K'), kcMakeDirectory);
    EXPECT_EQ(FindKeyCommand('E'), kcEditFile);
    EXPECT_EQ(FindKeyCommand(0x20), kcSelectNext);
    EXPECT_EQ(FindKeyCommand(0x08), kcGoUpper);
    EXPECT_EQ(FindKeyCommand(0x0D), kcExecItem);
    EXPECT_EQ(FindKeyCommand('L'), kcBrowseDrive);
    int others = 0;
    for (unsigned k = 0; k < 300; ++k) others += FindKeyCommand(k) != kcNone;
    EXPECT_EQ(others, 12);  // no type-ahead: every other key does nothing
    EXPECT_EQ(FindKeyCommand(0x143), kcNone);

    EXPECT_EQ(FileOpOfKey('C'), foCopy);
    EXPECT_EQ(FileOpOfKey('M'), foMove);
    EXPECT_EQ(FileOpOfKey('D'), foDelete);
    EXPECT_EQ(FileOpOfKey(0x2E), foDelete);
    EXPECT_EQ(FileOpFlags(foDelete, false), 0xC0u);  // to the recycle bin
    EXPECT_EQ(FileOpFlags(foDelete, true), 0x80u);   // Shift: for good
    EXPECT_EQ(FileOpFlags(foCopy, true), 0x80u);
}

TEST(FilerLists, SelectedRowsForTheShell) {
    TFilerItemList items;
    auto add = [&](const std::string& name, std::uint32_t attr) {
        auto r = std::make_unique<TFilerItem>();
        r->Name = name;
        r->Attr = attr;
        items.push_back(std::move(r));
    };
    add("..", faDirectory);
    add("sub", faDirectory);
    add("a.wav", faArchive);
    add("VOLUME", faVolumeID);
    const TMultiFileList all = SetMultiFileList("W:\\x\\", items, {0, 1, 2, 3});
    EXPECT_EQ(all.Count, 2);
    EXPECT_EQ(all.Rows, (std::vector<int>{1, 2}));
    EXPECT_TRUE(all.HasFolder);
    EXPECT_EQ(all.List, std::string("W:\\x\\sub\0W:\\x\\a.wav\0\0\0", 22));
    // Only the parent row: nothing to copy.
    const TMultiFileList parent = SetMultiFileList("W:\\x\\", items, {0});
    EXPECT_EQ(parent.Count, 0);
    const TMultiFileList file = SetMultiFileList("W:\\", items, {2, 9});
    EXPECT_EQ(file.Count, 1);
    EXPECT_FALSE(file.HasFolder);
    EXPECT_EQ(NulList({"a", "bc"}), std::string("a\0bc\0\0", 6));
    EXPECT_EQ(NulListOf<std::wstring>({L"a\u00E9b"}), std::wstring(L"a\u00E9b\0\0", 5));
}

TEST(FilerJump, TargetsOfTypedEntries) {
    EXPECT_EQ(BrowseDriveTarget(".", "W:\\m", "W:"), "");
    EXPECT_EQ(BrowseDriveTarget("", "W:\\m", "W:"), "");
    EXPECT_EQ(BrowseDriveTarget("..", "W:\\m\\n", "W:\\m"), "W:\\m\\");
    EXPECT_EQ(BrowseDriveTarget("..", "W:", ""), "");  // the root has no parent
    EXPECT_EQ(BrowseDriveTarget("d", "W:\\m", "W:"), "d:\\");
    EXPECT_EQ(BrowseDriveTarget("D:", "W:\\m", "W:"), "D:\\");
    EXPECT_EQ(BrowseDriveTarget("ab", "W:\\m", "W:"), "W:\\m\\ab\\");
    EXPECT_EQ(BrowseDriveTarget("sub", "W:\\m", "W:"), "W:\\m\\sub\\");
    EXPECT_EQ(BrowseDriveTarget("sub", "W:", ""), "W:\\sub\\");
    EXPECT_EQ(BrowseDriveTarget("C:\\x\\", "W:\\m", "W:"), "C:\\x\\");
    // A double-byte name ending in a backslash byte gets its separator.
    EXPECT_EQ(BrowseDriveTarget("\x95\x5C", "W:", ""), "W:\\\x95\x5C\\");
}

// Copy and move destinations as typed, against the listed folder W:\m.
TEST(FilerDestinations, TypedEntriesAndRefusals) {
    const struct {
        const wchar_t* Entry;
        const wchar_t* Folder;
    } typed[] = {
        {L"rel", L"W:\\m\\rel"},
        {L"  rel\\sub  ", L"W:\\m\\rel\\sub"},
        {L"..\\up", L"W:\\m\\..\\up"},  // under the listed folder, as the shell resolves it
        {L"D:\\x", L"D:\\x"},
        {L"D:", L"D:\\"},
        {L"D:x", L""},  // relative to a folder of drive D: nobody sees
        {L"\\top", L"W:\\top"},
        {L"\\\\srv\\share", L"\\\\srv\\share"},
        {L"", L""},
        {L"   ", L""},
    };
    for (const auto& t : typed) EXPECT_EQ(ResolveDestination(t.Entry, L"W:\\m"), t.Folder) << t.Entry;
    EXPECT_EQ(ResolveDestination(L"rel", L"W:\\"), L"W:\\rel");

    const struct {
        const wchar_t* Source;
        const wchar_t* Dest;
        bool Move;
        TCarryRefusal Refusal;
    } carries[] = {
        {L"W:\\X", L"W:\\X\\", false, crIntoItself},
        {L"W:\\X", L"w:\\x", true, crIntoItself},
        {L"W:\\X", L"W:\\X\\sub\\", true, crIntoItself},
        {L"W:\\X", L"W:\\X\\sub\\deep", false, crIntoItself},
        {L"W:\\X\\a.txt", L"W:\\X\\a.txt\\", true, crIntoItself},  // onto the file itself
        {L"W:\\X", L"W:\\Xy", false, crNone},                       // a sibling with a longer name
        {L"W:\\X", L"W:\\", true, crIntoOwnFolder},
        {L"W:\\X\\a.txt", L"W:\\X\\", true, crIntoOwnFolder},
        {L"W:\\X\\a.txt", L"W:\\X", false, crNone},  // a copy onto itself: the shell asks
        {L"W:\\X\\a.txt", L"W:\\Y\\", true, crNone},
        {L"W:\\X", L"W:\\Y\\X", true, crNone},
    };
    for (const auto& c : carries) EXPECT_EQ(CarryRefusal(c.Source, c.Dest, c.Move), c.Refusal) << c.Source << " " << c.Dest;
}

// New names typed at the rename prompt.
TEST(FilerRename, NewNames) {
    const struct {
        const char* Old;
        const char* New;
        TRenameCheck Check;
    } rows[] = {
        {"r1.txt", "r1.txt", rcUnchanged},
        {"r1.txt", "R1.TXT", rcCaseOnly},
        {"r1.txt", "x1.txt", rcRename},
        {"r1.txt", "..\\elsewhere\\moved.txt", rcInvalid},
        {"r1.txt", "sub/x.txt", rcInvalid},
        {"r1.txt", "C:x.txt", rcInvalid},
        {"r1.txt", "x?.txt", rcInvalid},
        {"r1.txt", "x*.txt", rcInvalid},
        {"r1.txt", "a|b", rcInvalid},
        {"r1.txt", "..", rcInvalid},
        {"r1.txt", ".", rcInvalid},
        {"r1.txt", "", rcInvalid},
        {"r1.txt", "a\tb", rcInvalid},
        {"r1.txt", "\x95\x5C.txt", rcRename},  // 表: its trail byte is no separator
        {"r1.txt", "\x95\x5C\\x.txt", rcInvalid},
    };
    for (const auto& r : rows) EXPECT_EQ(CheckNewName(r.Old, r.New), r.Check) << r.New;
}

TEST(FilerAttrForm, DateAndTimeFields) {
    EXPECT_EQ(CheckDateFields("2024", "2", "29"), fcOk);
    EXPECT_EQ(CheckDateFields("2023", "2", "29"), fcOutOfRange);
    EXPECT_EQ(CheckDateFields("2024", "13", "1"), fcOutOfRange);
    EXPECT_EQ(CheckDateFields("2024", "0", "1"), fcOutOfRange);
    EXPECT_EQ(CheckDateFields("2024", "", "1"), fcNotNumber);
    EXPECT_EQ(CheckDateFields("20x4", "1", "1"), fcNotNumber);
    EXPECT_EQ(CheckTimeFields("23", "59", "59"), fcOk);
    EXPECT_EQ(CheckTimeFields("24", "0", "0"), fcOutOfRange);
    EXPECT_EQ(CheckTimeFields("1", "60", "0"), fcOutOfRange);
    EXPECT_EQ(CheckTimeFields("-1", "0", "0"), fcNotNumber);
    EXPECT_EQ(TimeFields({2024, 3, 5, 0, 7, 58}), (std::vector<std::string>{"2024", "3", "5", "0", "7", "58"}));
}

TEST(FilerContextMenu, ClassesAndOwnIds) {
    const TFileClasses c = ClassifySelectedFiles({"a.wav", "b.txt", "c.MP2", "d.wma", "e.vqf", "f.mp3x", "g.Mp1"}, false);
    EXPECT_EQ(c.Encodable, (std::vector<std::string>{"a.wav"}));
    EXPECT_EQ(c.Playable, (std::vector<std::string>{"a.wav", "c.MP2", "g.Mp1"}));
    EXPECT_EQ(c.Taggable, (std::vector<std::string>{"c.MP2", "e.vqf", "g.Mp1"}));
    EXPECT_EQ(ClassifySelectedFiles({"d.WMA"}, true).Taggable, (std::vector<std::string>{"d.WMA"}));
    // A WAV file and a text file: play and encode, no tags.
    const TFileClasses w = ClassifySelectedFiles({"x.wav", "y.txt"}, true);
    EXPECT_FALSE(w.Playable.empty());
    EXPECT_FALSE(w.Encodable.empty());
    EXPECT_TRUE(w.Taggable.empty());

    const std::set<unsigned> held{0xF000, 0xF002, 0xF003};
    const std::vector<unsigned> ids = ReserveMenuIds([&](unsigned id) { return held.count(id) > 0; });
    ASSERT_EQ(ids.size(), 11u);
    EXPECT_EQ(ids[0], 0xF001u);
    EXPECT_EQ(ids[1], 0xF004u);
    EXPECT_EQ(ids[10], 0xF00Du);
    EXPECT_EQ(FindOwnMenuCommand(ids, 0xF004), 1);
    EXPECT_EQ(FindOwnMenuCommand(ids, 0xF002), -1);
    EXPECT_EQ(FindOwnMenuCommand(ids, 5), -1);
}

TEST(FilerDrop, ShortcutNamesProgramsAndEdges) {
    std::set<std::string> files;
    auto exists = [&](const std::string& p) { return files.count(p) > 0; };
    const std::string first = "%s へのｼｮｰﾄｶｯﾄ.lnk", numbered = "%s へのｼｮｰﾄｶｯﾄ (%d).lnk";
    EXPECT_EQ(ShortcutName("W:\\d\\", "a.wav", first, numbered, exists), "W:\\d\\a.wav へのｼｮｰﾄｶｯﾄ.lnk");
    files.insert("W:\\d\\a.wav へのｼｮｰﾄｶｯﾄ.lnk");
    EXPECT_EQ(ShortcutName("W:\\d", "a.wav", first, numbered, exists), "W:\\d\\a.wav へのｼｮｰﾄｶｯﾄ (2).lnk");
    for (int n = 2; n <= 255; ++n) files.insert("W:\\d\\a.wav へのｼｮｰﾄｶｯﾄ (" + std::to_string(n) + ").lnk");
    EXPECT_EQ(ShortcutName("W:\\d\\", "a.wav", first, numbered, exists), "");
    // A "%" in the file name is the name's, not the pattern's.
    EXPECT_EQ(ShortcutName("W:\\d\\", "100%done.wav", first, numbered, exists), "W:\\d\\100%done.wav へのｼｮｰﾄｶｯﾄ.lnk");
    files.insert("W:\\d\\100%done.wav へのｼｮｰﾄｶｯﾄ.lnk");
    EXPECT_EQ(ShortcutName("W:\\d\\", "100%done.wav", first, numbered, exists), "W:\\d\\100%done.wav へのｼｮｰﾄｶｯﾄ (2).lnk");
    EXPECT_EQ(ShortcutName("W:\\d\\", "%s%d.wav", first, numbered, exists), "W:\\d\\%s%d.wav へのｼｮｰﾄｶｯﾄ.lnk");
    // The same rules over exact (wide) names.
    std::set<std::wstring> wfiles{L"W:\\d\\p\uD55Cq.mp3 link"};
    EXPECT_EQ(ShortcutNameOf<std::wstring>(L"W:\\d", L"p\uD55Cq.mp3", L"%s link", L"%s link (%d)",
                                           [&](const std::wstring& p) { return wfiles.count(p) > 0; }),
              L"W:\\d\\p\uD55Cq.mp3 link (2)");

    EXPECT_TRUE(IsProgramName("C:\\x\\setup.EXE"));
    EXPECT_TRUE(IsProgramName("a.com"));
    EXPECT_TRUE(IsProgramName("a.Pif"));
    EXPECT_FALSE(IsProgramName("a.exe.txt"));
    EXPECT_FALSE(IsProgramName("a.lnk"));

    // A control of 200 x 100; the list's header of 16 pixels widens the top zone.
    EXPECT_EQ(EdgeFlags(50, 50, 200, 100, 0), 0u);
    EXPECT_EQ(EdgeFlags(10, 50, 200, 100, 0), unsigned(efLeft));
    EXPECT_EQ(EdgeFlags(11, 50, 200, 100, 0), 0u);
    EXPECT_EQ(EdgeFlags(189, 89, 200, 100, 0), unsigned(efRight | efBottom));
    EXPECT_EQ(EdgeFlags(50, 20, 200, 100, 0), 0u);
    EXPECT_EQ(EdgeFlags(50, 20, 200, 100, 16), unsigned(efTop));

    // Entering the bottom zone: nothing for 50 ms, then a line, then one
    // line every 200 ms while the pointer stays; leaving stops it.
    TEdgeScroll s;
    std::uint32_t e = 1;
    EXPECT_FALSE(s.Step(efValid | efBottom, 1000, e));
    EXPECT_EQ(e, 1u | kDropEffectScroll);
    EXPECT_EQ(s.VCode, 1u);
    EXPECT_EQ(s.HCode, TEdgeScroll::None);
    e = 1;
    EXPECT_FALSE(s.Step(efValid | efBottom, 1050, e));
    EXPECT_TRUE(s.Step(efValid | efBottom, 1051, e));
    EXPECT_FALSE(s.Step(efValid | efBottom, 1200, e));
    EXPECT_TRUE(s.Step(efValid | efBottom, 1252, e));
    e = 1;
    EXPECT_FALSE(s.Step(efValid, 2000, e));
    EXPECT_EQ(e, 1u);
    EXPECT_EQ(s.VCode, TEdgeScroll::None);
    EXPECT_EQ(s.StartTime, 0u);
    // The left zone scrolls left, the top one up.
    EXPECT_FALSE(s.Step(efLeft | efTop, 3000, e));
    EXPECT_EQ(s.HCode, 0u);
    EXPECT_EQ(s.VCode, 0u);
    EXPECT_TRUE(s.Step(efLeft | efTop, 3100, e));
}
