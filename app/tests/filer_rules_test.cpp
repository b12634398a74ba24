// The file manager's rules against an in-memory namespace and tree: the
// list's texts, filter and orders, the listing of a folder, the walk down a
// path, the merge of the tree with the disk, the start folder, the monitor
// slots and item-id lists.  Texts are written in UTF-8 and compiled to code
// page 932 where the toolchain does so; the double-byte names are written
// as bytes so that the test means the same everywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "app/filerrules.h"
#include "app/filertree.h"
#include "classlib/sjis.h"

using namespace filer;

namespace {

// "表示" in Shift-JIS: the second byte of 表 is a backslash byte.
const std::string kHyouji = "\x95\x5C\x8E\xA6";

// The fake file system's exact names: each byte one code unit.
std::wstring Wide(const std::string& s) {
    std::wstring w;
    for (char c : s) w += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return w;
}

// ---- An in-memory disk and namespace ------------------------------------------

struct TFakeEntry {
    bool Dir = false;
    std::int64_t Size = 0;
    std::uint32_t Attr = 0;
    std::uint32_t Time = 0;
    std::uint32_t Shell = nsFileSystem;  // extra ns* bits
    bool NoFind = false;                 // the shell gives no find record
};

struct TFakeItem : TNsItem {
    explicit TFakeItem(std::string p, int* live) : Path(std::move(p)), Live(live) { ++*Live; }
    ~TFakeItem() override { --*Live; }
    std::string Path;
    int* Live;
};

class TFakeNamespace : public TNamespace {
public:
    std::map<std::string, TFakeEntry> Disk;  // upper-cased full path -> entry
    std::map<std::string, std::string> Names;  // upper-cased full path -> the name as written
    int LiveItems = 0;
    std::set<std::string> Unreadable;  // folders that cannot be enumerated

    void Add(const std::string& path, TFakeEntry e) {
        Disk[wx::SjisUpperCase(path)] = e;
        Names[wx::SjisUpperCase(path)] = path;
    }
    void Folder(const std::string& path, std::uint32_t shell = nsFileSystem) {
        TFakeEntry e;
        e.Dir = true;
        e.Attr = faDirectory;
        e.Shell = shell;
        Add(path, e);
    }
    void File(const std::string& path, std::int64_t size, std::uint32_t attr = faArchive, std::uint32_t time = 0,
              std::uint32_t shell = nsFileSystem) {
        TFakeEntry e;
        e.Size = size;
        e.Attr = attr;
        e.Time = time;
        e.Shell = shell;
        Add(path, e);
    }
    void Remove(const std::string& path) {
        const std::string up = wx::SjisUpperCase(path);
        for (auto it = Disk.begin(); it != Disk.end();) {
            if (it->first == up || it->first.compare(0, up.size() + 1, up + "\\") == 0)
                it = Disk.erase(it);
            else
                ++it;
        }
    }
    std::shared_ptr<TNsItem> Item(const std::string& path) { return std::make_shared<TFakeItem>(path, &LiveItems); }
    static const std::string& PathOf(const TNsItem& i) { return static_cast<const TFakeItem&>(i).Path; }

    static std::string NameOf(const std::string& path) {
        std::string name = path;
        for (std::size_t p = wx::SjisFind(path, '\\'); p != std::string::npos; p = wx::SjisFind(path, '\\', p + 1))
            name = path.substr(p + 1);
        return name;
    }
    // The direct children of a folder, in the disk's order.
    std::vector<std::string> ChildrenOf(const std::string& folder) const {
        std::vector<std::string> out;
        const std::string up = wx::SjisUpperCase(wx::StripTrailingBackslash(folder)) + "\\";
        for (const auto& [key, e] : Disk) {
            if (key.compare(0, up.size(), up) != 0) continue;
            const std::string rest = key.substr(up.size());
            if (!rest.empty() && wx::SjisFind(rest, '\\') == std::string::npos) out.push_back(Names.at(key));
        }
        return out;
    }

    // Questions asked of the namespace, by kind.
    int Enumerations = 0, TreeIcons = 0, FindDirectories = 0;

    bool Enumerate(const TNsItem& folder, TEnumMode mode, std::vector<TChild>& out) override {
        ++Enumerations;
        const std::string& path = PathOf(folder);
        if (Unreadable.count(wx::SjisUpperCase(path)) || !IsFolder(path)) return false;
        for (const std::string& child : ChildrenOf(path)) {
            const TFakeEntry& e = Disk.at(wx::SjisUpperCase(child));
            if (mode == emTree && !e.Dir) continue;
            TChild c;
            c.Item = Item(child);
            c.Attrs = e.Shell | (e.Dir ? nsFolder | nsHasSubFolder : 0);
            if (mode == emTree) c.ParsingName = child;
            if (!e.NoFind) {
                c.HasFind = true;
                c.Find = TFindRecord{NameOf(child), e.Attr, e.Size, e.Time, Wide(NameOf(child))};
            }
            out.push_back(std::move(c));
        }
        return true;
    }
    bool HasSubFolders(const TNsItem& folder) override {
        for (const std::string& c : ChildrenOf(PathOf(folder)))
            if (Disk.at(wx::SjisUpperCase(c)).Dir) return true;
        return false;
    }
    std::uint32_t Attributes(const TNsItem& item) override {
        auto it = Disk.find(wx::SjisUpperCase(PathOf(item)));
        return it == Disk.end() ? 0 : it->second.Shell;
    }
    int TreeIcon(const TNsItem&, bool open) override {
        ++TreeIcons;
        return open ? 4 : 3;
    }
    std::string DisplayName(const TNsItem& item) override { return "Disk (" + PathOf(item).substr(0, 2) + ")"; }
    int TypeNames = 0;  // questions asked
    std::string TypeName(const TNsItem&, const TNsItem& row) override {
        ++TypeNames;
        const auto& e = Disk.at(wx::SjisUpperCase(PathOf(row)));
        return e.Dir ? "Folder" : ExtensionOf(PathOf(row)) + " file";
    }
    int ListIcon(const TNsItem&, const TNsItem&) override { return 7; }
    bool FindFirst(const std::string& path, TFindRecord& out) override {
        auto it = Disk.find(wx::SjisUpperCase(path));
        if (it == Disk.end()) return false;
        out = TFindRecord{NameOf(path), it->second.Attr, it->second.Size, it->second.Time, std::wstring()};
        return true;
    }
    bool FindDirectory(const std::string& path, TFindRecord& out) override {
        ++FindDirectories;
        return FindFirst(path, out) && (out.Attr & faDirectory);
    }
    bool IsFolder(const std::string& path) override {
        const std::string p = wx::StripTrailingBackslash(path);
        if (p.size() == 2 && p[1] == ':') return true;  // a drive
        auto it = Disk.find(wx::SjisUpperCase(p));
        return it != Disk.end() && it->second.Dir;
    }
    void PathTypeAndIcon(const std::string&, std::string& type, int& icon) override {
        type = "Folder";
        icon = 5;
    }
};

// ---- An in-memory tree control ---------------------------------------------------

class TFakeTree : public TTreeSink {
public:
    struct Node {
        Node* Parent = nullptr;
        std::vector<std::unique_ptr<Node>> Children;
        std::unique_ptr<TFilerItem> Rec;
        TNodeLook Look;
        bool Expanded = false;
        std::size_t Pos = 0;  // index among its siblings
    };
    std::vector<std::unique_ptr<Node>> Top;
    Node* Sel = nullptr;

    static Node* N(TNode n) { return static_cast<Node*>(n); }
    std::vector<std::unique_ptr<Node>>& Siblings(Node* n) { return n->Parent ? n->Parent->Children : Top; }
    const std::vector<std::unique_ptr<Node>>& Siblings(Node* n) const { return n->Parent ? n->Parent->Children : Top; }

    // Calls that read the tree (each a message to the tree control on
    // Windows, whose cost grows with the tree's size).
    mutable long Reads = 0;
    static void Renumber(std::vector<std::unique_ptr<Node>>& s) {
        for (std::size_t i = 0; i < s.size(); ++i) s[i]->Pos = i;
    }

    TNode Root() const override { return Top.empty() ? nullptr : Top[0].get(); }
    TNode FirstChild(TNode n) const override {
        ++Reads;
        return N(n)->Children.empty() ? nullptr : N(n)->Children[0].get();
    }
    TNode Next(TNode n) const override {
        ++Reads;
        const auto& s = Siblings(N(n));
        const std::size_t next = N(n)->Pos + 1;
        return next < s.size() ? s[next].get() : nullptr;
    }
    TNode Parent(TNode n) const override {
        ++Reads;
        return N(n)->Parent;
    }
    TFilerItem* Record(TNode n) const override {
        ++Reads;
        return N(n)->Rec.get();
    }
    TNode Add(TNode parent, std::unique_ptr<TFilerItem> rec, const TNodeLook& look) override {
        auto node = std::make_unique<Node>();
        node->Parent = N(parent);
        node->Rec = std::move(rec);
        node->Look = look;
        Node* raw = node.get();
        auto& s = parent ? N(parent)->Children : Top;
        raw->Pos = s.size();
        s.push_back(std::move(node));
        if (parent) N(parent)->Look.Button = true;
        return raw;
    }
    void Delete(TNode n) override {
        Node* node = N(n);
        for (Node* s = Sel; s; s = s->Parent)
            if (s == node) Sel = node->Parent;
        Node* parent = node->Parent;
        auto& s = Siblings(node);
        s.erase(s.begin() + static_cast<std::ptrdiff_t>(node->Pos));
        Renumber(s);
        if (parent && parent->Children.empty()) parent->Look.Button = false;
    }
    void Clear() override {
        Top.clear();
        Sel = nullptr;
    }
    bool HasButton(TNode n) const override {
        ++Reads;
        return N(n)->Look.Button;
    }
    void SetButton(TNode n, bool on) override { N(n)->Look.Button = on; }
    void SetOverlay(TNode n, int o) override { N(n)->Look.Overlay = o; }
    TNode Selected() const override { return Sel; }
    void Select(TNode n) override { Sel = N(n); }
    void Expand(TNode n) override { N(n)->Expanded = true; }
    void SortChildren(TNode n) override {
        auto& c = n ? N(n)->Children : Top;
        std::stable_sort(c.begin(), c.end(), [](const auto& a, const auto& b) {
            return wx::SjisUpperCase(a->Look.Text) < wx::SjisUpperCase(b->Look.Text);
        });
        Renumber(c);
    }

    // The texts of the children in the tree's order.
    std::vector<std::string> ChildTexts(TNode n) const {
        std::vector<std::string> t;
        for (TNode c = FirstChild(n); c; c = Next(c)) t.push_back(N(c)->Look.Text);
        return t;
    }
};

// A pane on drive W: (fixed) and V: (remote).
struct TPane {
    TFakeNamespace ns;
    TFakeTree tree;
    TFilerTree filer{ns, tree};
    int selectedType = dtFixed;
    TPane() {
        for (const char* root : {"W:\\", "V:\\"}) {
            TDriveEntry d;
            d.Root = root;
            d.Type = root[0] == 'W' ? dtFixed : dtRemote;
            d.Item.Item = ns.Item(std::string(root, 2));
            filer.Drives.push_back(std::move(d));
        }
        filer.SelectedDriveType = [this] { return selectedType; };
    }
};

TFilerItem Row(const std::string& name, bool dir, std::int64_t size = 0, std::uint32_t time = 0) {
    TFilerItem r;
    r.Name = name;
    r.Attr = dir ? faDirectory : faArchive;
    r.Size = size;
    r.Time = time;
    return r;
}

std::vector<std::string> Names(const TFilerItemList& items) {
    std::vector<std::string> n;
    for (const auto& i : items) n.push_back(i->Name);
    return n;
}

TFilerExtFilter DefaultFilter() {
    TFilerExtFilter f;
    f.Add(".MP");
    f.Add(".WAV");
    f.ShowAll = false;
    return f;
}

}  // namespace

TEST(FilerTexts, NumbersAttributesTimesAndSpace) {
    EXPECT_EQ(FormatThousands(0), "0");
    EXPECT_EQ(FormatThousands(999), "999");
    EXPECT_EQ(FormatThousands(1000), "1,000");
    EXPECT_EQ(FormatThousands(1234567), "1,234,567");
    EXPECT_EQ(FormatThousands(123456), "123,456");
    // Files of 2 GiB and more keep their size.
    EXPECT_EQ(FormatThousands(3221225472LL), "3,221,225,472");
    EXPECT_EQ(FormatThousands(-1234), "-1,234");

    EXPECT_EQ(GetAttrString(0), "");
    EXPECT_EQ(GetAttrString(faArchive | faReadOnly | faHidden | faSysFile | faDirectory), "RHSA");
    EXPECT_EQ(GetAttrString(faHidden | faArchive), "HA");

    TDosDateTime t{2024, 3, 5, 0, 7, 58};
    EXPECT_EQ(FormatDosTime(EncodeDosTime(t)), "24/03/05 12:07 AM");
    t.Hour = 12;
    EXPECT_EQ(FormatDosTime(EncodeDosTime(t)), "24/03/05 12:07 PM");
    t.Hour = 23;
    EXPECT_EQ(FormatDosTime(EncodeDosTime(t)), "24/03/05 11:07 PM");
    TDosDateTime back;
    ASSERT_TRUE(DecodeDosTime(EncodeDosTime(t), back));
    EXPECT_EQ(back.Second, 58);
    EXPECT_EQ(FormatDosTime(0), "");                 // day and month 0
    EXPECT_EQ(FormatDosTime((0x2C5Du << 16) | (24u << 11)), "");  // hour 24
    EXPECT_FALSE(IsValidDateTime({2023, 2, 29, 0, 0, 0}));
    EXPECT_TRUE(IsValidDateTime({2024, 2, 29, 23, 59, 59}));

    // An empty folder uses 1KB.
    EXPECT_EQ(UsedSpaceText(0), "1KB");
    EXPECT_EQ(UsedSpaceText(1024), "2KB");
    EXPECT_EQ(UsedSpaceText(5ULL << 30), "5242881KB");
    EXPECT_EQ(FreeSpaceText(-1), "");
    EXPECT_EQ(FreeSpaceText(0), "1KB");
    EXPECT_EQ(FreeSpaceText(1048575), "1024KB");
    EXPECT_EQ(FreeSpaceText(1048576), "2MB");
}

TEST(FilerFilter, DefaultEntriesAdmitByPrefix) {
    const TFilerExtFilter f = DefaultFilter();
    for (const char* name : {"a.mp3", "b.MP2", "c.wav", "x.tar.Mp1"}) EXPECT_TRUE(IsFilteredExt(f, ExtensionOf(name))) << name;
    for (const char* name : {"d.wma", "e.txt", "f.wa", "noext", "mp3"}) EXPECT_FALSE(IsFilteredExt(f, ExtensionOf(name))) << name;
    // A dot inside a double-byte character is no dot: 0x81 0x2E is one character.
    EXPECT_EQ(ExtensionOf("a.mp3\x81.x"), ".mp3\x81.x");
    EXPECT_EQ(ExtensionOf(std::string("a\x81.")), "");
    TFilerExtFilter all = f;
    all.ShowAll = true;
    EXPECT_TRUE(IsFilteredExt(all, ".txt"));
}

TEST(FilerSort, ParentRowFirstFoldersBeforeFilesAndSixtyFourBitSizes) {
    for (int pattern : {spFileName, spExtention, spSize, spTime}) {
        for (bool descending : {false, true}) {
            TFilerItemList items;
            items.push_back(std::make_unique<TFilerItem>(Row("b.wav", false, 3221225472LL, 30)));
            items.push_back(std::make_unique<TFilerItem>(Row("zdir", true, 0, 10)));
            items.push_back(std::make_unique<TFilerItem>(Row("a.mp3", false, 100, 20)));
            items.push_back(std::make_unique<TFilerItem>(Row("..", true)));
            items.push_back(std::make_unique<TFilerItem>(Row("adir", true, 0, 40)));
            items.push_back(std::make_unique<TFilerItem>(Row("c.txt", false, 2147483648LL, 5)));
            SortItems(items, pattern, descending);
            const auto n = Names(items);
            ASSERT_EQ(n.size(), 6u);
            EXPECT_EQ(n[0], "..") << pattern << descending;
            // Folders before every file in every order and direction.
            for (int i = 1; i < 3; ++i) EXPECT_TRUE(items[std::size_t(i)]->IsDirectory()) << pattern << descending;
            using V = std::vector<std::string>;
            const V files(n.begin() + 3, n.end());
            if (pattern == spFileName) {
                EXPECT_EQ(n, descending ? (V{"..", "zdir", "adir", "c.txt", "b.wav", "a.mp3"})
                                        : (V{"..", "adir", "zdir", "a.mp3", "b.wav", "c.txt"}));
            }
            if (pattern == spSize) {  // 3 GiB above 2 GiB above 100 bytes
                EXPECT_EQ(files, descending ? (V{"b.wav", "c.txt", "a.mp3"}) : (V{"a.mp3", "c.txt", "b.wav"}));
            }
            if (pattern == spExtention && !descending) {
                EXPECT_EQ(files, (V{"a.mp3", "c.txt", "b.wav"}));
            }
            if (pattern == spTime && !descending) {
                EXPECT_EQ(n, (V{"..", "zdir", "adir", "c.txt", "a.mp3", "b.wav"}));
            }
        }
    }
    EXPECT_EQ(SortPatternOfColumn(1), spFileName);
    EXPECT_EQ(SortPatternOfColumn(2), spSize);
    EXPECT_EQ(SortPatternOfColumn(3), spExtention);
    EXPECT_EQ(SortPatternOfColumn(4), spTime);
    EXPECT_EQ(SortPatternOfColumn(0), -1);
    EXPECT_EQ(SortPatternOfColumn(5), -1);
}

TEST(FilerListing, RowsCountsAndTotals) {
    TPane p;
    p.ns.Folder("W:\\M");
    p.ns.Folder("W:\\M\\sub");
    p.ns.File("W:\\M\\a.mp3", 1000);
    p.ns.File("W:\\M\\b.MP2", 2000);
    p.ns.File("W:\\M\\c.wav", 5LL << 30);  // 5 GiB
    p.ns.File("W:\\M\\d.wma", 4000);
    p.ns.File("W:\\M\\e.txt", 24);
    p.ns.File("W:\\M\\link.mp3.lnk", 10, faArchive, 0, nsFileSystem | nsLink);
    p.ns.File("W:\\M\\shared.wav", 10, faArchive, 0, nsFileSystem | nsShare);
    p.ns.File("W:\\M\\virtual.mp3", 10, faArchive, 0, 0);  // not a file-system item
    TFakeEntry nofind;
    nofind.Size = 7;
    nofind.NoFind = true;
    p.ns.Add("W:\\M\\nofind.mp3", nofind);
    TListing l;
    auto folder = p.ns.Item("W:\\M");
    ListFolder(p.ns, folder.get(), "W:\\M", DefaultFilter(), l);
    auto n = Names(l.Items);
    std::sort(n.begin() + 1, n.end());
    EXPECT_EQ(n, (std::vector<std::string>{"..", "a.mp3", "b.MP2", "c.wav", "shared.wav", "sub"}));
    // Counted: the folder, five files, the shortcut and the shared file.
    EXPECT_EQ(l.ItemCount, 8);
    EXPECT_EQ(l.ByteTotal, 1000u + 2000 + (5ULL << 30) + 4000 + 24 + 10 + 10);
    EXPECT_EQ(UsedSpaceText(l.ByteTotal), "5242887KB");
    for (const auto& r : l.Items) {
        if (r->Name == "..") {
            EXPECT_EQ(r->Item, nullptr);
            EXPECT_EQ(r->IconIndex, 5);
            EXPECT_TRUE(r->IsDirectory());
        } else {
            EXPECT_NE(r->Item, nullptr);
            EXPECT_EQ(r->IconIndex, -1);  // looked up when first drawn
        }
        if (r->Name == "shared.wav") {
            EXPECT_EQ(r->Overlay, 0);
        }
        if (r->Name == "c.wav") {
            EXPECT_EQ(r->Size, 5LL << 30);
            EXPECT_EQ(r->TypeName, ".wav file");
        }
    }
    // Every file shown: the shortcut gets the arrow.  The type names are
    // asked once per extension (case aside) and once for the folders.
    TFilerExtFilter all;
    p.ns.File("W:\\M\\second.WAV", 1);
    p.ns.Folder("W:\\M\\sub2");
    p.ns.TypeNames = 0;
    ListFolder(p.ns, folder.get(), "W:\\M", all, l);
    EXPECT_EQ(p.ns.TypeNames, 7);  // .mp3 .MP2 .wav .wma .txt .lnk and the folders
    const auto link = std::find_if(l.Items.begin(), l.Items.end(), [](const auto& r) { return r->Name == "link.mp3.lnk"; });
    ASSERT_NE(link, l.Items.end());
    EXPECT_EQ((*link)->Overlay, 1);
    EXPECT_EQ(l.LongestName, std::string("link.mp3.lnk").size());

    // A drive root has no parent row; an empty folder lists nothing else.
    auto root = p.ns.Item("W:");
    ListFolder(p.ns, root.get(), "W:\\", DefaultFilter(), l);
    EXPECT_EQ(Names(l.Items), (std::vector<std::string>{"M"}));
    p.ns.Folder("W:\\E");
    ListFolder(p.ns, p.ns.Item("W:\\E").get(), "W:\\E", DefaultFilter(), l);
    EXPECT_EQ(Names(l.Items), (std::vector<std::string>{".."}));
    EXPECT_EQ(l.ItemCount, 0);
    // A folder that cannot be enumerated gives only the parent row.
    p.ns.Unreadable.insert("W:\\M");
    ListFolder(p.ns, folder.get(), "W:\\M", DefaultFilter(), l);
    EXPECT_EQ(Names(l.Items), (std::vector<std::string>{".."}));
    l = TListing();
    folder.reset();
    root.reset();
    EXPECT_EQ(p.ns.LiveItems, 2);  // only the two drives' items remain

    // More files than the list reserves room for: every one is listed,
    // counted and sorted.
    p.ns.Folder("W:\\Big");
    for (int i = 0; i < 5600; ++i) p.ns.File("W:\\Big\\t" + std::to_string(10000 + i) + ".wav", 1);
    auto big = p.ns.Item("W:\\Big");
    ListFolder(p.ns, big.get(), "W:\\Big", DefaultFilter(), l);
    SortItems(l.Items, spFileName, true);
    ASSERT_EQ(l.Items.size(), 5601u);
    EXPECT_EQ(l.ItemCount, 5600);
    EXPECT_EQ(l.ByteTotal, 5600u);
    EXPECT_EQ(l.Items[1]->Name, "t15599.wav");
    EXPECT_EQ(l.Items[5600]->Name, "t10000.wav");
}

TEST(FilerTree, WalkSplitsOnlyAtRealBackslashes) {
    TPane p;
    const std::string deep = "W:\\" + kHyouji + "\\x";
    p.ns.Folder("W:\\" + kHyouji);
    p.ns.Folder(deep);
    p.ns.Folder("W:\\other");
    p.ns.File("W:\\afile", 1);
    const std::string path = deep + "\\";
    std::vector<std::string> drives;
    p.filer.Walk(path, [&](const std::string& prefix) { drives.push_back(prefix); });
    EXPECT_EQ(drives, (std::vector<std::string>{"W:\\"}));
    ASSERT_NE(p.tree.Selected(), nullptr);
    EXPECT_EQ(p.filer.GetFilePathAt(p.tree.Selected()), deep);
    // The exact path joins the names the file system holds.
    EXPECT_EQ(p.filer.GetWidePathAt(p.tree.Selected()), Wide(deep));
    const TNode root = p.tree.Root();
    EXPECT_EQ(p.filer.GetWidePathAt(root), L"W:");
    EXPECT_EQ(p.filer.GetWidePathAt(nullptr), L"");
    EXPECT_EQ(TFakeTree::N(root)->Look.Text, "Disk (W:)");
    EXPECT_EQ(p.filer.GetFilePathAt(root), "W:");
    EXPECT_TRUE(TFakeTree::N(root)->Expanded);
    EXPECT_EQ(p.tree.ChildTexts(root), (std::vector<std::string>{"other", kHyouji}));
    // Steps: drive, 表示, x; the trail byte 0x5C splits nothing.
    const auto steps = PathSteps(path);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[1].Component, kHyouji);
    EXPECT_EQ(steps[2].Prefix, path);

    // A component the tree does not hold (not a file-system folder): the
    // search for the next one runs under the last found.
    p.ns.Folder("W:\\A");
    p.ns.Folder("W:\\A\\Missing", 0);
    p.ns.Folder("W:\\A\\Missing\\B");
    p.filer.Walk("W:\\A\\Missing\\B\\", nullptr);
    EXPECT_EQ(p.filer.GetFilePathAt(p.tree.Selected()), "W:\\A");
    // A drive typed in small letters is the same drive.
    p.filer.Walk("w:\\other\\", nullptr);
    EXPECT_EQ(p.filer.GetFilePathAt(p.tree.Selected()), "W:\\other");
    // A drive not in the bar leaves the tree empty.
    p.filer.Walk("Q:\\x\\", nullptr);
    EXPECT_EQ(p.tree.Root(), nullptr);
    EXPECT_EQ(p.filer.GetFilePathAt(nullptr), "");
}

TEST(FilerTree, MergeWithTheDisk) {
    TPane p;
    p.ns.Folder("W:\\A");
    p.ns.Folder("W:\\A\\A1");
    p.ns.Folder("W:\\A\\A1\\deep");
    p.ns.Folder("W:\\B");
    p.ns.File("W:\\B.txt", 5);
    p.ns.Folder("W:\\notfs", 0);
    p.filer.Walk("W:\\A\\A1\\", nullptr);
    const TNode root = p.tree.Root();
    EXPECT_EQ(p.tree.ChildTexts(root), (std::vector<std::string>{"A", "B"}));
    const TNode a = p.filer.ChildNamed(root, "a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(p.tree.ChildTexts(a), (std::vector<std::string>{"A1"}));

    // A folder removed on disk goes with every loaded node under it; a new
    // one is added; the selection moves up out of the removed branch.
    p.ns.Remove("W:\\A");
    p.ns.Folder("W:\\C");
    p.ns.Folder(std::string("W:\\") + kHyouji);
    // A folder whose path turns out to be a file is left out.
    p.ns.Folder("W:\\F", nsFileSystem);
    p.ns.Disk["W:\\F"].Attr = faArchive;
    p.filer.SetMarks();
    p.filer.CheckTree("W:\\", root);
    EXPECT_EQ(p.tree.ChildTexts(root), (std::vector<std::string>{"B", "C", kHyouji}));
    EXPECT_EQ(p.tree.Selected(), root);

    // A loaded folder that lost its sub-folders loses its button when it
    // has no loaded children; one that got some gets it back.
    const TNode b = p.filer.ChildNamed(root, "B");
    ASSERT_NE(b, nullptr);
    p.filer.ExpandTreeView(b, "W:\\B\\");
    EXPECT_EQ(p.tree.FirstChild(b), nullptr);  // B has no folders
    p.tree.SetButton(b, true);
    p.filer.CheckTree("W:\\", root);
    // The fake claims sub-folders for every folder (as the shell does), so
    // the button stays; a network drive does not trust that claim.
    EXPECT_TRUE(p.tree.HasButton(b));

    p.selectedType = dtRemote;
    p.ns.Folder("V:\\empty");
    p.ns.Folder("V:\\full");
    p.ns.Folder("V:\\full\\x");
    p.filer.Walk("V:\\", nullptr);
    const TNode vroot = p.tree.Root();
    EXPECT_FALSE(p.tree.HasButton(p.filer.ChildNamed(vroot, "empty")));
    EXPECT_TRUE(p.tree.HasButton(p.filer.ChildNamed(vroot, "full")));
    p.ns.Remove("V:\\full\\x");
    p.filer.CheckTree("V:\\", vroot);
    EXPECT_FALSE(p.tree.HasButton(p.filer.ChildNamed(vroot, "full")));
    p.ns.Folder("V:\\empty\\now");
    p.filer.CheckTree("V:\\", vroot);
    EXPECT_TRUE(p.tree.HasButton(p.filer.ChildNamed(vroot, "empty")));

    // A root whose folder was never loaded is loaded by the merge.
    p.tree.Delete(p.filer.ChildNamed(vroot, "empty"));
    p.tree.Delete(p.filer.ChildNamed(vroot, "full"));
    EXPECT_FALSE(p.filer.HasLoadedChildren(vroot));
    p.filer.CheckTree("V:\\", vroot);
    EXPECT_EQ(p.tree.ChildTexts(vroot), (std::vector<std::string>{"empty", "full"}));
    p.tree.Clear();
    EXPECT_EQ(p.ns.LiveItems, 2);
}

// A folder of a thousand sub-folders (a music folder of albums) walked
// into, drawn and merged with the disk: the namespace is asked once per
// folder, icons only for the nodes drawn, and the tree is read a bounded
// number of times per node, whatever the size of the level.
TEST(FilerTree, ThousandFoldersCostOnceEach) {
    TPane p;
    constexpr std::size_t kAlbums = 1000;
    p.ns.Folder("W:\\Music");
    for (std::size_t i = 0; i < kAlbums; ++i) {
        const std::string album = "W:\\Music\\album" + std::to_string(1000 + i);
        p.ns.Folder(album);
        if (i % 10 == 0) p.ns.Folder(album + "\\disc1");
    }
    // One album the shell keeps no find record for: searched on disk.
    p.ns.Disk["W:\\MUSIC\\ALBUM1234"].NoFind = true;
    auto sorted = [](const std::vector<std::string>& t) {
        return std::is_sorted(t.begin(), t.end(),
                              [](const std::string& a, const std::string& b) { return wx::SjisUpperCase(a) < wx::SjisUpperCase(b); });
    };

    // The walk: one enumeration per level (W:, Music, album1501), the
    // find records kept with the items, no icon yet.
    p.filer.Walk("W:\\Music\\album1501\\", nullptr);
    const TNode music = p.filer.ChildNamed(p.tree.Root(), "Music");
    ASSERT_NE(music, nullptr);
    std::vector<std::string> texts = p.tree.ChildTexts(music);
    ASSERT_EQ(texts.size(), kAlbums);
    EXPECT_TRUE(sorted(texts));
    EXPECT_NE(p.filer.ChildNamed(music, "album1234"), nullptr);
    EXPECT_EQ(p.filer.GetFilePathAt(p.tree.Selected()), "W:\\Music\\album1501");
    EXPECT_EQ(p.ns.Enumerations, 3);
    EXPECT_EQ(p.ns.FindDirectories, 1);
    EXPECT_EQ(p.ns.TreeIcons, 0);
    EXPECT_LE(p.tree.Reads, 20L * static_cast<long>(kAlbums));
    // An album with a disc keeps its button without being read.
    EXPECT_TRUE(p.tree.HasButton(p.filer.ChildNamed(music, "album1010")));
    EXPECT_FALSE(p.filer.HasLoadedChildren(p.filer.ChildNamed(music, "album1010")));

    // A node drawn: its closed and open icons asked once each.
    TFilerItem* rec = p.tree.Record(p.tree.Selected());
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(p.filer.NodeIcon(*rec, false), 3);
    EXPECT_EQ(p.filer.NodeIcon(*rec, true), 4);
    EXPECT_EQ(p.filer.NodeIcon(*rec, false), 3);
    EXPECT_EQ(p.filer.NodeIcon(*rec, true), 4);
    EXPECT_EQ(p.ns.TreeIcons, 2);

    // The merge after a change on disk: one album gone, one new, the
    // loaded levels (W: and Music) enumerated once each.
    p.ns.Remove("W:\\Music\\album1200");
    p.ns.Folder("W:\\Music\\album0999");
    p.ns.Enumerations = p.ns.FindDirectories = 0;
    p.tree.Reads = 0;
    p.filer.SetMarks();
    p.filer.CheckTree("W:\\", p.tree.Root());
    texts = p.tree.ChildTexts(music);
    ASSERT_EQ(texts.size(), kAlbums);
    EXPECT_EQ(texts.front(), "album0999");
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "album1200"), 0);
    EXPECT_TRUE(sorted(texts));
    EXPECT_EQ(p.filer.GetFilePathAt(p.tree.Selected()), "W:\\Music\\album1501");
    EXPECT_EQ(p.ns.Enumerations, 2);
    EXPECT_EQ(p.ns.FindDirectories, 1);
    EXPECT_LE(p.tree.Reads, 20L * static_cast<long>(kAlbums));
    EXPECT_EQ(p.ns.TreeIcons, 2);
}

TEST(FilerPaths, StartFolderAndArguments) {
    std::set<std::string> folders{"C:\\Music", "D:\\Boot", "C:\\Windows"};
    auto isFolder = [&](const std::string& p) { return folders.count(p) > 0; };
    EXPECT_EQ(StartFolder("C:\\Music", "D:\\Boot\\", "C:\\Work", "C:\\Windows", isFolder), "C:\\Music\\");
    EXPECT_EQ(StartFolder("\"C:\\Music\"", "", "C:\\Work", "C:\\Windows", isFolder), "C:\\Music\\");
    EXPECT_EQ(StartFolder("C:\\None", "D:\\Boot\\", "C:\\Work", "C:\\Windows", isFolder), "D:\\Boot\\");
    EXPECT_EQ(StartFolder("", "D:\\Gone\\", "E:\\Work\\Deep", "C:\\Windows", isFolder), "E:\\");
    EXPECT_EQ(StartFolder("", "", "\\\\server\\share", "C:\\Windows", isFolder), "C:\\");
    EXPECT_EQ(StartFolder("", "", "C:\\", "C:\\Windows", isFolder), "C:\\");

    EXPECT_EQ(FirstArgument("wendrix.exe"), "");
    EXPECT_EQ(FirstArgument("\"C:\\Program Files\\wendrix.exe\"  \"W:\\My Music\\\" more"), "W:\\My Music\\");
    EXPECT_EQ(FirstArgument("wendrix W:\\a b"), "W:\\a");
    EXPECT_EQ(FirstArgument("wendrix " + kHyouji + "\\x"), kHyouji + "\\x");
}

TEST(FilerMonitors, TenSlotsLowestFirst) {
    TMonitorSlots s;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(s.Take(), i);
    EXPECT_EQ(s.Take(), -1);  // an eleventh monitor is not started
    s.Release(3);
    s.Release(7);
    EXPECT_EQ(s.Take(), 3);
    EXPECT_EQ(s.Take(), 7);
    s.Release(-1);
    s.Release(12);
    EXPECT_EQ(s.Take(), -1);
}

TEST(FilerPidl, SizesCopiesAndJoins) {
    struct TCounting : TPidlAllocator {
        int live = 0;
        bool fail = false;
        void* Alloc(std::size_t n) override {
            if (fail) return nullptr;
            ++live;
            return new unsigned char[n];
        }
        void Free(void* p) override {
            --live;
            delete[] static_cast<unsigned char*>(p);
        }
    } alloc;
    // Two items of 4 and 5 bytes.
    const unsigned char list[] = {4, 0, 'a', 'b', 5, 0, 'c', 'd', 'e', 0, 0};
    const unsigned char one[] = {3, 0, 'z', 0, 0};
    const unsigned char empty[] = {0, 0};
    EXPECT_EQ(PidlGetSize(nullptr), 0u);
    EXPECT_EQ(PidlGetSize(empty), 2u);
    EXPECT_EQ(PidlGetSize(list), 11u);
    void* first = CopyItemID(alloc, list);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(PidlGetSize(first), 6u);
    EXPECT_EQ(std::memcmp(first, "\x04\x00" "ab\x00\x00", 6), 0);
    void* joined = ConcatPidls(alloc, list, one);
    ASSERT_NE(joined, nullptr);
    EXPECT_EQ(PidlGetSize(joined), 14u);
    EXPECT_EQ(std::memcmp(joined, "\x04\x00" "ab\x05\x00" "cde\x03\x00" "z\x00\x00", 14), 0);
    void* alone = ConcatPidls(alloc, nullptr, one);
    EXPECT_EQ(PidlGetSize(alone), 5u);
    void* nothing = ConcatPidls(alloc, list, nullptr);
    EXPECT_EQ(PidlGetSize(nothing), 11u);
    for (void* p : {first, joined, alone, nothing}) alloc.Free(p);
    EXPECT_EQ(alloc.live, 0);
    alloc.fail = true;
    EXPECT_EQ(CopyItemID(alloc, list), nullptr);
    EXPECT_EQ(ConcatPidls(alloc, list, one), nullptr);
}
