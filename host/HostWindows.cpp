// The window list of the simulated host and the AdvControl commands that
// read and switch it (docs/far-editor-windows.md, sections 5 and 6).
#include "FarHost.h"

#include <algorithm>

namespace {

using namespace far3;

// What the host names a window without a name of its own.
std::wstring PanelsName()
{
    wchar_t Folder[MAX_PATH];
    const DWORD Length = ::GetCurrentDirectoryW(MAX_PATH, Folder);
    std::wstring Name(Folder, Length < MAX_PATH ? Length : 0);
    if (!Name.empty() && Name.back() != L'\\')
        Name += L'\\';
    return Name + L"..";
}

// A dialog's name in the list is its title: the text of its first box, or
// of its first text where it has no box.
std::wstring DialogTitle(const THostDialog& Dialog)
{
    for (const THostItem& Item : Dialog.Items)
        if ((Item.Type == DI_DOUBLEBOX || Item.Type == DI_SINGLEBOX || Item.Type == DI_TEXT) && !Item.Data.empty())
            return Item.Data;
    return {};
}

// Copies Text into a buffer of Size characters the way the host does: with
// no size it reports the size needed and copies nothing, otherwise it copies
// what fits with a terminator.
void PutName(const std::wstring& Text, wchar_t* Buffer, intptr_t& Size)
{
    const intptr_t Needed = static_cast<intptr_t>(Text.size()) + 1;
    if (Size <= 0 || !Buffer) {
        Size = Needed;
        return;
    }
    const size_t Count = static_cast<size_t>(std::min(Size, Needed) - 1);
    std::copy(Text.begin(), Text.begin() + static_cast<std::ptrdiff_t>(Count), Buffer);
    Buffer[Count] = L'\0';
}

} // namespace

std::vector<TWindowView> TFarHost::WindowList()
{
    std::lock_guard Guard(FLock);
    std::vector<TWindowView> List;
    for (const THostWindow& Window : FEditors.Windows()) {
        TWindowView View;
        View.Type = Window.Type;
        if (Window.Type == WTYPE_DESKTOP) {
            View.TypeName = L"Desktop";
        } else if (Window.Type == WTYPE_PANELS) {
            View.TypeName = L"Panels";
            View.Name = PanelsName();
        } else if (const TEditor* Editor = FEditors.Find(Window.EditorId)) {
            View.TypeName = L"Edit";
            View.Id = Editor->Id;
            View.Name = Editor->FileName;
            if (Editor->Unsaved)
                View.Flags |= WIF_MODIFIED;
        }
        List.push_back(View);
    }
    for (HANDLE Handle : FDialogs.Running()) {
        if (const THostDialog* Dialog = FDialogs.Find(Handle)) {
            TWindowView View;
            View.Type = WTYPE_DIALOG;
            View.TypeName = L"Dialog";
            View.Id = reinterpret_cast<intptr_t>(Handle);
            View.Name = DialogTitle(*Dialog);
            View.Flags = WIF_MODAL;
            List.push_back(View);
        }
    }
    List.back().Flags |= WIF_CURRENT;
    return List;
}

intptr_t TFarHost::GetWindowInfo(void* Param2)
{
    auto* Info = static_cast<WindowInfo*>(Param2);
    if (!Info) {
        Error(L"ACTL_GETWINDOWINFO: no WindowInfo");
        return FALSE;
    }
    if (!CheckStructSize(Info->StructSize, sizeof(WindowInfo), "WindowInfo", "ACTL_GETWINDOWINFO"))
        return FALSE;
    const std::vector<TWindowView> List = WindowList();
    const intptr_t Count = static_cast<intptr_t>(List.size());
    const intptr_t Pos = Info->Pos == -1 ? Count - 1 : Info->Pos;
    if (Pos < 0 || Pos >= Count) {
        Error(L"ACTL_GETWINDOWINFO: no window at Pos " + std::to_wstring(Info->Pos) + L" (" + std::to_wstring(Count) +
              L" windows)");
        return FALSE;
    }
    const TWindowView& View = List[static_cast<size_t>(Pos)];
    Info->Pos = Pos;
    Info->Type = View.Type;
    Info->Id = View.Id;
    Info->Flags = View.Flags;
    PutName(View.TypeName, Info->TypeName, Info->TypeNameSize);
    PutName(View.Name, Info->Name, Info->NameSize);
    return TRUE;
}

intptr_t TFarHost::SetCurrentWindow(intptr_t Pos)
{
    const size_t Count = WindowList().size();
    if (Pos < 0 || static_cast<size_t>(Pos) >= Count) {
        Error(L"ACTL_SETCURRENTWINDOW: no window at Pos " + std::to_wstring(Pos) + L" (" + std::to_wstring(Count) +
              L" windows)");
        return FALSE;
    }
    if (!FDialogs.Running().empty()) {
        Error(L"ACTL_SETCURRENTWINDOW while a dialog runs is not simulated");
        return FALSE;
    }
    // Current at once: no ACTL_COMMIT is needed.
    FEditors.Activate(static_cast<size_t>(Pos));
    return TRUE;
}

intptr_t TFarHost::GetWindowType(void* Param2)
{
    auto* Type = static_cast<WindowType*>(Param2);
    if (!Type) {
        Error(L"ACTL_GETWINDOWTYPE: no WindowType");
        return FALSE;
    }
    if (!CheckStructSize(Type->StructSize, sizeof(WindowType), "WindowType", "ACTL_GETWINDOWTYPE"))
        return FALSE;
    Type->Type = WindowList().back().Type;
    return TRUE;
}
