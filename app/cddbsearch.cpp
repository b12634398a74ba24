// The CDDB search window of the run and the main window's CDDB commands.
#include "app/wendrixn.h"

namespace wendrix {

void CreateCDDBSearch() {}

void FreeCDDBSearch() {}

void TForm1::ShowCDDBForm() {}

void TForm1::Timer2Timer() {
    // A disc inserted or removed: its table of contents in the track list.
    if (MediaChanged()) RefreshTrackList();
}

}  // namespace wendrix
