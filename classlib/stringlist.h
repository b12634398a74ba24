// Ordered list of strings with the behaviour the forms and settings code
// expects: case-insensitive search, optional sorting, name=value pairs and
// CR/LF text.  Portable: no <windows.h>.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace wx {

class TStringList {
public:
    TStringList() = default;

    std::size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    const std::string& operator[](std::size_t i) const { return items_.at(i); }
    std::string& operator[](std::size_t i) { return items_.at(i); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    // Appends (or, when sorted, inserts in order); returns the index.
    std::size_t Add(const std::string& s);
    void Insert(std::size_t index, const std::string& s);
    void Delete(std::size_t index);
    void Clear() { items_.clear(); }

    // Case-insensitive (ASCII letters only, so Shift-JIS trail bytes stay
    // distinct); -1 when absent.
    int IndexOf(const std::string& s) const;
    int IndexOfName(const std::string& name) const;

    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);

    // "name=value" lines.
    std::string Name(std::size_t i) const;
    std::string Value(const std::string& name) const;
    void SetValue(const std::string& name, const std::string& value);

    // Lines joined with CR LF (each line terminated); setting splits on
    // CR LF, CR or LF.
    std::string Text() const;
    void SetText(const std::string& text);

    // Whole-file I/O of Text(); false when the file cannot be read or written.
    bool LoadFromFile(const std::string& path);
    bool SaveToFile(const std::string& path) const;

private:
    std::vector<std::string> items_;
    bool sorted_ = false;
};

// ASCII-only case-insensitive comparison (<0, 0, >0).
int CompareText(const std::string& a, const std::string& b);

}  // namespace wx
