// The rules about items and list entries that the dialog engine's files
// (DialogEngine.cpp, DialogMessages.cpp, DialogLists.cpp, DialogInput.cpp)
// share, so that each of them answers alike.
#pragma once

#include "DialogModel.h"
#include "bridge/FarApi.h"

#include <string>

namespace dialog {

bool IsEdit(far3::FARDIALOGITEMTYPES Type);
// Only an item of a type that takes the focus, enabled, shown and without
// DIF_NOFOCUS.
bool CanFocus(const THostItem& Item);
bool EntryFocusable(const THostListEntry& Entry);

std::wstring CutToMax(std::wstring Text, size_t MaxLength);
// A string the plugin passed; null is empty.
std::wstring Text(const wchar_t* Str);
// A message's name, for error messages.
std::wstring Name(intptr_t Msg);

// What the host hands out for an item: a FarDialogItem, then for a list box
// a FarList and its FarListItem records, then every string. The pointers
// inside point into the block itself.
size_t PackedSize(const THostItem& Item);
void PackItem(const THostItem& Item, unsigned char* Out);

} // namespace dialog
