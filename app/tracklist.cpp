// The track list pane of the main window.
#include "app/wendrixn.h"

namespace wendrix {

void TForm1::RefreshTrackList() {}

}  // namespace wendrix
