#include "bridge/uFarWindows.h"

#include "base/uStrings.h"
#include "base/uSystem.h"

namespace {

intptr_t AdvControl(far3::ADVANCED_CONTROL_COMMANDS Command, intptr_t Param1, void* Param2)
{
    const GUID Guid = TFarModule::PluginGuid();
    const auto Service = TFarModule::StartupInfo().AdvControl;
    return Service ? Service(&Guid, Command, Param1, Param2) : 0;
}

} // namespace

intptr_t TFarWindows::Count()
{
    return AdvControl(far3::ACTL_GETWINDOWCOUNT, 0, nullptr);
}

bool TFarWindows::GetWindow(intptr_t Pos, TFarWindow& Window)
{
    Window = TFarWindow{};
    // The first call asks for the size of the name, the second for the name.
    far3::WindowInfo Info{};
    Info.StructSize = sizeof(Info);
    Info.Pos = Pos;
    if (AdvControl(far3::ACTL_GETWINDOWINFO, 0, &Info) == 0 || Info.NameSize <= 0)
        return false;
    std::vector<wchar_t> Name(static_cast<size_t>(Info.NameSize), L'\0');
    Info.Pos = Pos;
    Info.TypeNameSize = 0;
    Info.TypeName = nullptr;
    Info.Name = Name.data();
    if (AdvControl(far3::ACTL_GETWINDOWINFO, 0, &Info) == 0)
        return false;
    Window.Pos = Info.Pos;
    Window.Type = Info.Type;
    Window.Id = Info.Id;
    // A name that grew between the two calls comes cut; the buffer holds a
    // terminator either way.
    Name.back() = L'\0';
    Window.Name = Name.data();
    Window.Current = (Info.Flags & far3::WIF_CURRENT) != 0;
    Window.Modified = (Info.Flags & far3::WIF_MODIFIED) != 0;
    return true;
}

std::vector<TFarWindow> TFarWindows::Editors()
{
    std::vector<TFarWindow> Result;
    const intptr_t Total = Count();
    for (intptr_t Pos = 0; Pos < Total; ++Pos) {
        TFarWindow Window;
        if (GetWindow(Pos, Window) && Window.Type == far3::WTYPE_EDITOR)
            Result.push_back(std::move(Window));
    }
    return Result;
}

bool TFarWindows::FindEditor(const std::wstring& FileName, TFarWindow& Window)
{
    const std::vector<TFarWindow> List = Editors();
    for (auto It = List.rbegin(); It != List.rend(); ++It) {
        if (SameFile(It->Name, FileName)) {
            Window = *It;
            return true;
        }
    }
    Window = TFarWindow{};
    return false;
}

bool TFarWindows::ActivateEditor(intptr_t EditorId)
{
    // Positions move with every switch: the editor's is read now.
    for (const TFarWindow& Window : Editors()) {
        if (Window.Id != EditorId)
            continue;
        return Window.Current || AdvControl(far3::ACTL_SETCURRENTWINDOW, Window.Pos, nullptr) != 0;
    }
    return false;
}

bool TFarWindows::CurrentIsEditor()
{
    far3::WindowType Type{};
    Type.StructSize = sizeof(Type);
    return AdvControl(far3::ACTL_GETWINDOWTYPE, 0, &Type) != 0 && Type.Type == far3::WTYPE_EDITOR;
}

bool TFarWindows::SameFile(const std::wstring& A, const std::wstring& B)
{
    return UpperCaseText(ExpandFileName(A)) == UpperCaseText(ExpandFileName(B));
}
