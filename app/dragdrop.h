// OLE drag and drop and the clipboard of the file manager: the drop
// source of drags started in the tree and the list, the shell file
// helpers that drops and pastes use, and the drop targets of the tree, the
// list and the drive bar (made by TForm1::CreateDropTargets).
#pragma once
#include <string>
#include <vector>

#include "classlib/win.h"

#include <ole2.h>
#include <shlobj.h>

namespace filer {

class TShellNamespace;

// A drag started here: Escape cancels, a held left or right button goes
// on, releasing the buttons drops.
class TDropSourceObject final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

private:
    LONG refs_ = 1;
};

// Paths exactly as the file system holds them (wide), so that a name
// outside the ANSI code page names its own file and no other.
using TPaths = std::vector<std::wstring>;
// The paths a data object offers as CF_HDROP; empty when it offers none.
TPaths DroppedPaths(IDataObject* data);
// The dropped paths that parse as shell items.
TPaths ShellPaths(TShellNamespace& ns, const TPaths& paths);
// A program (.EXE, .COM, .PIF), or a shortcut whose target is one (.EXE,
// .COM); the shortcut is resolved without any window.
bool IsExecutableTarget(const std::wstring& path);
// One shell operation over all names: copy for effect 1, else move; a
// failure or abort sets the effect to 0.  A destination that is one of
// the names, lies inside one, or (a move) already holds one is refused
// with a message before anything is touched, and the effect is 0.
void DropFileOperation(HWND owner, const TPaths& names, const std::wstring& destFolder, DWORD& effect);
// A shortcut for each name in the folder (with trailing backslash); a
// failed save is reported and stops, leaving effect 0 when it was the first.
void CreateShortcuts(const TPaths& names, const std::wstring& destFolder, DWORD& effect);
// Opens the names with a program; effect 0.
void OpenWithApplication(HWND owner, const TPaths& names, const std::wstring& program, DWORD& effect);
// The menu of a right-button drop; the effect chosen (0 cancel).
DWORD DropMenu(HWND owner, POINT at, bool openOnly);
// The clipboard offers files.
bool ClipboardHasFiles();
// The clipboard's files copied into folder (with trailing backslash), or
// shortcuts to them made there.
void PasteClipboardFiles(HWND owner, TShellNamespace& ns, const std::wstring& folder, bool asShortcuts);

}  // namespace filer
