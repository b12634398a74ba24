// The file manager pane of the main window: folder tree, file list and
// drive bar.
#include "app/wendrixn.h"

namespace wendrix {

void TForm1::SetEventList() {}

void TForm1::InitFiler() {}

void TForm1::FinalizeFiler() { ReleaseInstanceMutex(); }

std::string TForm1::GetFilePathAt() const { return std::string(); }

void TForm1::RefreshFiler() {}

}  // namespace wendrix
