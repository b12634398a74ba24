#include "classlib/stringlist.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace wx {

namespace {
unsigned char LowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }
}  // namespace

int CompareText(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int d = LowerAscii(a[i]) - LowerAscii(b[i]);
        if (d != 0) return d;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

std::size_t TStringList::Add(const std::string& s) {
    if (!sorted_) {
        items_.push_back(s);
        return items_.size() - 1;
    }
    auto it = std::upper_bound(items_.begin(), items_.end(), s,
                               [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
    return static_cast<std::size_t>(items_.insert(it, s) - items_.begin());
}

void TStringList::Insert(std::size_t index, const std::string& s) {
    if (index > items_.size()) index = items_.size();
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), s);
}

void TStringList::Delete(std::size_t index) {
    if (index < items_.size()) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

int TStringList::IndexOf(const std::string& s) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (CompareText(items_[i], s) == 0) return static_cast<int>(i);
    return -1;
}

void TStringList::SetSorted(bool sorted) {
    sorted_ = sorted;
    if (sorted_)
        std::stable_sort(items_.begin(), items_.end(),
                         [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
}

std::string TStringList::Name(std::size_t i) const {
    const std::string& s = items_.at(i);
    const auto eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

int TStringList::IndexOfName(const std::string& name) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const auto eq = items_[i].find('=');
        if (eq != std::string::npos && CompareText(items_[i].substr(0, eq), name) == 0) return static_cast<int>(i);
    }
    return -1;
}

std::string TStringList::Value(const std::string& name) const {
    const int i = IndexOfName(name);
    if (i < 0) return {};
    const std::string& s = items_[static_cast<std::size_t>(i)];
    return s.substr(s.find('=') + 1);
}

void TStringList::SetValue(const std::string& name, const std::string& value) {
    const int i = IndexOfName(name);
    if (i < 0)
        Add(name + "=" + value);
    else
        items_[static_cast<std::size_t>(i)] = name + "=" + value;
}

std::string TStringList::Text() const {
    std::string out;
    for (const auto& s : items_) {
        out += s;
        out += "\r\n";
    }
    return out;
}

void TStringList::SetText(const std::string& text) {
    items_.clear();
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            items_.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) items_.push_back(line);
    if (sorted_) SetSorted(true);
}

bool TStringList::LoadFromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
    SetText(text);
    return true;
}

bool TStringList::SaveToFile(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const std::string text = Text();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

}  // namespace wx
