// The host's service functions, as the plugin receives them in its
// start-up record. Each records its call and checks what it is given.
#pragma once

#include "bridge/FarApi.h"

namespace host {

intptr_t WINAPI Message(const GUID* PluginId, const GUID* Id, far3::FARMESSAGEFLAGS Flags, const wchar_t* HelpTopic,
                        const wchar_t* const* Items, size_t ItemsNumber, intptr_t ButtonsNumber);
const wchar_t* WINAPI GetMsg(const GUID* PluginId, intptr_t MsgId);
HANDLE WINAPI SaveScreen(intptr_t X1, intptr_t Y1, intptr_t X2, intptr_t Y2);
void WINAPI RestoreScreen(HANDLE Screen);
void WINAPI FreeScreen(HANDLE Screen);
intptr_t WINAPI AdvControl(const GUID* PluginId, far3::ADVANCED_CONTROL_COMMANDS Command, intptr_t Param1,
                           void* Param2);
wchar_t* WINAPI TruncPathStr(wchar_t* Str, intptr_t MaxLength);

// The editor (HostEditor.cpp).
intptr_t WINAPI EditorControl(intptr_t EditorID, far3::EDITOR_CONTROL_COMMANDS Command, intptr_t Param1, void* Param2);
intptr_t WINAPI Editor(const wchar_t* FileName, const wchar_t* Title, intptr_t X1, intptr_t Y1, intptr_t X2,
                       intptr_t Y2, far3::EDITOR_FLAGS Flags, intptr_t StartLine, intptr_t StartChar,
                       uintptr_t CodePage);

// The settings store (HostSettings.cpp).
intptr_t WINAPI SettingsControl(HANDLE Handle, far3::FAR_SETTINGS_CONTROL_COMMANDS Command, intptr_t Param1,
                                void* Param2);

// The dialog engine (HostDialogs.cpp).
HANDLE WINAPI DialogInit(const GUID* PluginId, const GUID* Id, intptr_t X1, intptr_t Y1, intptr_t X2, intptr_t Y2,
                         const wchar_t* HelpTopic, const far3::FarDialogItem* Item, size_t ItemsNumber,
                         intptr_t Reserved, far3::FARDIALOGFLAGS Flags, far3::FARWINDOWPROC DlgProc, void* Param);
intptr_t WINAPI DialogRun(HANDLE Dialog);
void WINAPI DialogFree(HANDLE Dialog);
intptr_t WINAPI SendDlgMessage(HANDLE Dialog, intptr_t Msg, intptr_t Param1, void* Param2);
intptr_t WINAPI DefDlgProc(HANDLE Dialog, intptr_t Msg, intptr_t Param1, void* Param2);

} // namespace host
