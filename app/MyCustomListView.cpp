#include "app/MyCustomListView.h"

#include <memory>

#include "app/ctrlmodel.h"

void TMyCustomListView::BindDisplay(std::function<std::string(int, int)> text, std::function<int(int)> image) {
    auto buffer = std::make_shared<std::string>();
    form_->OnNotify(id_, LVN_GETDISPINFOA, [this, text = std::move(text), image = std::move(image), buffer](NMHDR* nm) -> LRESULT {
        auto* di = reinterpret_cast<NMLVDISPINFOA*>(nm);
        LVITEMA& it = di->item;
        // The standard handling: text and image of the cell.
        if ((it.mask & LVIF_TEXT) && text) {
            *buffer = text(it.iItem, it.iSubItem);
            lstrcpynA(it.pszText, buffer->c_str(), it.cchTextMax);
        }
        if ((it.mask & LVIF_IMAGE) && image) it.iImage = image(it.iItem);
        // Then the overlay of the main column.
        if (it.iSubItem == 0 && ItemList && it.iItem >= 0 && static_cast<std::size_t>(it.iItem) < ItemList->size()) {
            const TFilerItem* rec = (*ItemList)[static_cast<std::size_t>(it.iItem)].get();
            TOverlayRequest r{it.mask, it.state, it.stateMask};
            ApplyOverlay(r, rec ? rec->Overlay : -1);
            it.mask = r.Mask;
            it.state = r.State;
            it.stateMask = r.StateMask;
        }
        return 0;
    });
}
