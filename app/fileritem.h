// One row of the file list, one node of the folder tree, one listed drive.
// The file manager fills in the shell fields; the list view reads only the
// overlay index.
#pragma once
#include <cstdint>
#include <vector>

struct TFilerItem {
    // Overlay image of the row: 1 link, 0 share, -1 none.
    std::int32_t Overlay = -1;
};

// The rows of the file list (the records are not owned by the list).
using TFilerItemList = std::vector<TFilerItem*>;
