// The state of the settings dialog's controls, kept without windows.  Each
// binding holds what the control would (checked state, item index, value,
// text, enabling) and behaves as the control does where the settings rely
// on it: spin edits and track bars clamp what is put into them, a combo or
// radio group holds -1 when no item is selected, a check box may be checked
// yet disabled.  The settings dialog shows and edits these; every other
// subsystem reads them.  Portable: no <windows.h>.
#pragma once
#include <initializer_list>
#include <string>

#include "classlib/stringlist.h"

struct TCheckBinding {
    bool Checked = false;
    bool Enabled = true;
    bool Visible = true;
    // The phrase "checked and enabled" of the rules that depend on both.
    bool CheckedAndEnabled() const { return Checked && Enabled; }
};

// A spin edit.  Setting a value clamps it to MinValue..MaxValue, except when
// the two are equal (a spin edit without range).
class TSpinBinding {
public:
    TSpinBinding(int minValue, int maxValue, int value) : min_(minValue), max_(maxValue) { SetValue(value); }
    int Value() const { return value_; }
    void SetValue(int v) {
        if (min_ != max_) v = v < min_ ? min_ : (v > max_ ? max_ : v);
        value_ = v;
    }
    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    // A new range clamps the value held.
    void SetRange(int minValue, int maxValue) {
        min_ = minValue;
        max_ = maxValue;
        SetValue(value_);
    }
    bool Enabled = true;

private:
    int min_, max_, value_ = 0;
};

// A track bar: the position is always inside Min..Max.
class TTrackBarBinding {
public:
    TTrackBarBinding(int minValue, int maxValue, int position) : min_(minValue), max_(maxValue) {
        SetPosition(position);
    }
    int Position() const { return pos_; }
    void SetPosition(int p) { pos_ = p < min_ ? min_ : (p > max_ ? max_ : p); }
    int Min() const { return min_; }
    int Max() const { return max_; }
    bool Enabled = true;

private:
    int min_, max_, pos_ = 0;
};

// A combo box (drop-down list).  ItemIndex is -1 or a valid index.
class TComboBinding {
public:
    TComboBinding() = default;
    TComboBinding(std::initializer_list<const char*> items, int index) {
        for (const char* s : items) Items.Add(s);
        SetItemIndex(index);
    }
    wx::TStringList Items;
    int ItemIndex() const { return (index_ >= 0 && index_ < static_cast<int>(Items.Count())) ? index_ : -1; }
    // An index outside the items selects nothing (-1).
    void SetItemIndex(int i) { index_ = (i >= 0 && i < static_cast<int>(Items.Count())) ? i : -1; }
    // The selected item's text; empty without a selection.
    std::string Text() const { return ItemIndex() < 0 ? std::string() : Items[static_cast<std::size_t>(index_)]; }
    bool Enabled = true;
    bool Visible = true;

private:
    int index_ = -1;
};

// A radio group of Count items.  ItemIndex is -1 or a valid index.
class TRadioGroupBinding {
public:
    TRadioGroupBinding(int count, int index) : count_(count) { SetItemIndex(index); }
    int ItemIndex() const { return index_; }
    void SetItemIndex(int i) { index_ = (i >= 0 && i < count_) ? i : -1; }
    int Count() const { return count_; }
    bool Enabled = true;

private:
    int count_, index_ = -1;
};

// An edit.  MaxLength (0 = none) bounds text typed into the control; a
// value set from the program is kept whole, as the control does.
struct TEditBinding {
    TEditBinding() = default;
    explicit TEditBinding(std::string text) : Text(std::move(text)) {}
    std::string Text;
    bool Enabled = true;
    bool Visible = true;
    bool ReadOnly = false;
    int MaxLength = 0;
};
