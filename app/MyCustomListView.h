// The file list: an owner-data list view whose main column shows the
// shell's overlay images (link, share) of the rows' records.
#pragma once
#include <functional>
#include <string>

#include "app/fileritem.h"
#include "classlib/controls.h"

class TMyCustomListView : public wx::TListView {
public:
    using wx::TListView::TListView;
    // Binds the display requests: text(item, sub) gives the text of a cell
    // and image(item) its image index (-1 none); the main column then gets
    // the overlay of ItemList's record for the row.
    void BindDisplay(std::function<std::string(int item, int sub)> text, std::function<int(int item)> image);
    // Not owned.
    TFilerItemList* ItemList = nullptr;
};
