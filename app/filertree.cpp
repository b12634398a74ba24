#include "app/filertree.h"

#include <map>
#include <unordered_map>

#include "app/filerrules.h"
#include "classlib/sjis.h"

namespace filer {

bool TFilerTree::HasLoadedChildren(TNode node) const {
    const TNode first = node ? tree_.FirstChild(node) : nullptr;
    return first && tree_.Record(first);
}

int TFilerTree::DriveOfRoot(const std::string& root) const {
    for (std::size_t i = 0; i < Drives.size(); ++i)
        if (SameText(Drives[i].Root, root)) return static_cast<int>(i);
    return -1;
}

bool TFilerTree::ReadLevel(const TNsItem& folder, std::vector<TFound>& out) {
    std::vector<TNamespace::TChild> children;
    if (!ns_.Enumerate(folder, TNamespace::emTree, children)) return false;
    // A network drive's claim of sub-folders is not trusted.
    const bool network = SelectedDriveType && SelectedDriveType() == dtRemote;
    for (TNamespace::TChild& c : children) {
        if ((c.Attrs & (nsFileSystem | nsFolder)) != (nsFileSystem | nsFolder)) continue;
        if (c.ParsingName.empty() || !c.Item) continue;
        // The find record the shell keeps with the item; a search of the
        // disk for each folder of a large level costs far more than the
        // enumeration itself.
        TFindRecord found;
        if (c.HasFind && (c.Find.Attr & faDirectory))
            found = std::move(c.Find);
        else if (!ns_.FindDirectory(c.ParsingName, found))
            continue;
        if (network && (c.Attrs & nsHasSubFolder) && !ns_.HasSubFolders(*c.Item)) c.Attrs &= ~nsHasSubFolder;
        auto rec = std::make_unique<TFilerItem>();
        rec->Item = std::move(c.Item);
        out.push_back(TFound{found, c.Attrs, c.ParsingName, std::move(rec)});
    }
    return true;
}

bool TFilerTree::ExpandTreeView(TNode node, const std::string& path) {
    if (!node) {
        tree_.Clear();
        const std::string upper = wx::SjisUpperCase(path);
        const int d = DriveOfRoot(upper);
        if (d < 0) return true;
        const TDriveEntry& drive = Drives[static_cast<std::size_t>(d)];
        // A drive the shell did not bind has no items: its tree stays empty.
        if (!drive.Item.Item) return false;
        auto rec = std::make_unique<TFilerItem>(drive.Item);
        rec->Time = 0;
        rec->Size = 0;
        rec->Attr = faDirectory;
        rec->Name = upper.substr(0, 2);
        rec->WideName.assign(rec->Name.begin(), rec->Name.end());
        TNodeLook look;
        look.Text = ns_.DisplayName(*rec->Item);
        look.Overlay = (drive.Item.Attr & faDriveShared) ? 0 : -1;
        node = tree_.Add(nullptr, std::move(rec), look);
    }
    const TFilerItem* own = tree_.Record(node);
    std::vector<TFound> found;
    if (!own || !own->Item || !ReadLevel(*own->Item, found)) return false;
    for (TFound& f : found) AddNewTree(node, f.Find, f.Attrs, std::move(f.Rec));
    tree_.SortChildren(node);
    return true;
}

TNode TFilerTree::AddNewTree(TNode parent, const TFindRecord& found, std::uint32_t attrs, std::unique_ptr<TFilerItem> rec) {
    if (!(found.Attr & (faDirectory | faSysFile)) || found.Name == "." || found.Name == "..") return nullptr;
    rec->Time = found.Time;
    rec->Size = found.Size;
    rec->Attr = found.Attr;
    rec->Name = found.Name;
    rec->WideName = found.WideName;
    rec->TreeMark = true;
    TNodeLook look;
    look.Text = found.Name;
    look.Button = (found.Attr & faDirectory) && (attrs & nsHasSubFolder);
    look.Overlay = (attrs & nsShare) ? 0 : -1;
    return tree_.Add(parent, std::move(rec), look);
}

int TFilerTree::NodeIcon(TFilerItem& rec, bool open) {
    std::int32_t& icon = open ? rec.OpenIconIndex : rec.IconIndex;
    if (icon == -1 && rec.Item) icon = ns_.TreeIcon(*rec.Item, open);
    return icon;
}

std::string TFilerTree::GetFilePathAt(TNode node) const {
    if (!node) return std::string();
    const TFilerItem* rec = tree_.Record(node);
    const std::string name = rec ? rec->Name : std::string();
    const TNode parent = tree_.Parent(node);
    return parent ? GetFilePathAt(parent) + "\\" + name : name;
}

std::wstring TFilerTree::GetWidePathAt(TNode node) const {
    if (!node) return std::wstring();
    const TFilerItem* rec = tree_.Record(node);
    if (!rec || rec->WideName.empty()) return std::wstring();
    const TNode parent = tree_.Parent(node);
    if (!parent) return rec->WideName;
    const std::wstring up = GetWidePathAt(parent);
    return up.empty() ? up : up + L"\\" + rec->WideName;
}

void TFilerTree::SetMarks() {
    std::vector<TNode> stack;
    for (TNode n = tree_.Root(); n; n = tree_.Next(n)) stack.push_back(n);
    while (!stack.empty()) {
        const TNode n = stack.back();
        stack.pop_back();
        if (TFilerItem* r = tree_.Record(n)) r->TreeMark = true;
        for (TNode c = tree_.FirstChild(n); c; c = tree_.Next(c)) stack.push_back(c);
    }
}

TNode TFilerTree::ChildNamed(TNode parent, const std::string& name) const {
    for (TNode c = parent ? tree_.FirstChild(parent) : nullptr; c; c = tree_.Next(c)) {
        const TFilerItem* r = tree_.Record(c);
        if (r && SameText(r->Name, name)) return c;
    }
    return nullptr;
}

void TFilerTree::CheckTree(const std::string& path, TNode node) {
    if (!node) return;
    const bool loaded = HasLoadedChildren(node);
    if (loaded) {
        std::vector<TNode> gone;
        for (TNode c = tree_.FirstChild(node); c; c = tree_.Next(c)) {
            TFilerItem* r = tree_.Record(c);
            if (!r) continue;
            if (ns_.IsFolder(path + r->Name)) {
                r->TreeMark = true;
                if (r->Item) tree_.SetOverlay(c, (ns_.Attributes(*r->Item) & nsShare) ? 0 : -1);
                if (HasLoadedChildren(c)) CheckTree(path + r->Name + "\\", c);
            } else {
                r->TreeMark = false;
                gone.push_back(c);
            }
        }
        // Gone folders go with everything loaded under them.
        for (TNode c : gone) tree_.Delete(c);
    }
    if (!ns_.IsFolder(wx::StripTrailingBackslash(path))) return;
    if (!loaded) {
        ExpandTreeView(node, path);
        return;
    }
    const TFilerItem* own = tree_.Record(node);
    std::vector<TFound> found;
    if (!own || !own->Item || !ReadLevel(*own->Item, found)) return;
    // The nodes of the level by their full paths, looked up once each.
    std::unordered_map<std::string, TNode> byPath;
    for (TNode c = tree_.FirstChild(node); c; c = tree_.Next(c))
        if (const TFilerItem* r = tree_.Record(c)) byPath.emplace(wx::SjisUpperCase(path + r->Name), c);
    for (TFound& f : found) {
        const std::string key = wx::SjisUpperCase(f.Path);
        const auto it = byPath.find(key);
        if (it == byPath.end()) {
            if (const TNode added = AddNewTree(node, f.Find, f.Attrs, std::move(f.Rec))) byPath.emplace(key, added);
            continue;
        }
        const TNode match = it->second;
        const bool sub = (f.Attrs & nsHasSubFolder) != 0;
        const bool children = tree_.FirstChild(match) != nullptr;
        if (sub && !tree_.HasButton(match) && !children) tree_.SetButton(match, true);
        if (!sub && tree_.HasButton(match) && !children) tree_.SetButton(match, false);
    }
    tree_.SortChildren(node);
}

void TFilerTree::Walk(const std::string& path, const std::function<void(const std::string& prefix)>& onDrive) {
    const std::vector<TPathStep> steps = PathSteps(path);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const TPathStep& s = steps[i];
        if (i == 0) {
            if (onDrive) onDrive(s.Prefix);
            ExpandTreeView(nullptr, s.Prefix);
            if (const TNode root = tree_.Root()) {
                tree_.Expand(root);
                tree_.Select(root);
            }
            continue;
        }
        const TNode child = ChildNamed(tree_.Selected(), s.Component);
        if (!child) continue;
        ExpandTreeView(child, s.Prefix);
        tree_.Expand(child);
        tree_.Select(child);
    }
}

void ListFolder(TNamespace& ns, const TNsItem* folder, const std::string& listedFolder, const TFilerExtFilter& filter,
                TListing& out) {
    out = TListing();
    TFindRecord self;
    if (listedFolder.size() >= 4 && ns.FindFirst(listedFolder, self)) {
        auto up = std::make_unique<TFilerItem>();
        up->Name = "..";
        up->Time = self.Time;
        up->Size = self.Size;
        up->Attr = self.Attr;
        std::string type;
        int icon = -1;
        ns.PathTypeAndIcon(listedFolder, type, icon);
        up->IconIndex = icon;
        up->TypeName = wx::SjisCut(type, 64);
        out.Items.push_back(std::move(up));
    }
    std::vector<TNamespace::TChild> children;
    if (!folder || !ns.Enumerate(*folder, TNamespace::emList, children)) return;
    out.Items.reserve(out.Items.size() + children.size());
    // The shell names a file's type by its extension (and every folder's
    // alike): asked once per extension in a listing.
    std::map<std::string, std::string> types;
    for (TNamespace::TChild& c : children) {
        if (!c.HasFind || !(c.Attrs & nsFileSystem) || !c.Item) continue;
        ++out.ItemCount;
        const bool dir = (c.Find.Attr & faDirectory) != 0;
        if (!dir && c.Find.Size > 0) out.ByteTotal += static_cast<std::uint64_t>(c.Find.Size);
        if (!dir && !IsFilteredExt(filter, ExtensionOf(c.Find.Name))) continue;
        auto rec = std::make_unique<TFilerItem>();
        rec->Time = c.Find.Time;
        rec->Size = c.Find.Size;
        rec->Attr = c.Find.Attr;
        rec->Name = c.Find.Name;
        rec->WideName = c.Find.WideName;
        const std::string kind = dir ? std::string(1, '\\') : wx::SjisUpperCase(ExtensionOf(rec->Name));
        auto type = types.find(kind);
        if (type == types.end()) type = types.emplace(kind, wx::SjisCut(ns.TypeName(*folder, *c.Item), 64)).first;
        rec->TypeName = type->second;
        rec->Overlay = (c.Attrs & nsLink) ? 1 : (c.Attrs & nsShare) ? 0 : -1;
        rec->Item = std::move(c.Item);
        if (rec->Name.size() > out.LongestName) out.LongestName = rec->Name.size();
        if (rec->TypeName.size() > out.LongestType) out.LongestType = rec->TypeName.size();
        out.Items.push_back(std::move(rec));
    }
}

}  // namespace filer
