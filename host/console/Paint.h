// Drawing what the simulated host shows, in the real host's look: its
// dialogs from the engine's model, message boxes and menus.
#pragma once

#include "DialogModel.h"
#include "FarHost.h"
#include "Screen.h"

#include <string>
#include <vector>

namespace paint {

// Colours close to the real host's defaults.
namespace colour {
inline constexpr WORD EditorText = 0x1B; // light cyan on blue
inline constexpr WORD EditorSelected = 0x30;
inline constexpr WORD EditorStatus = 0x30; // black on cyan
inline constexpr WORD KeyBarNumber = 0x07;
inline constexpr WORD KeyBarLabel = 0x30;
inline constexpr WORD MenuText = 0x3F;    // white on cyan
inline constexpr WORD MenuCurrent = 0x0F; // white on black
inline constexpr WORD MenuHot = 0x3E;
} // namespace colour

// Text with '&' marking a hotkey, as shown: the mark is left out ("&&" is
// one '&'), unless the item shows ampersands.
std::wstring ShownText(const std::wstring& Text, bool ShowAmpersand = false);
// The hotkey's character, upper-cased, or 0.
wchar_t HotKey(const std::wstring& Text);

// A dialog of the engine where the model places it; the cursor goes to the
// focused edit (and is hidden otherwise).
void Dialog(TScreen& Screen, const THostDialog& Dialog);

// A message box centred on the screen, Focus its focused button.
void Message(TScreen& Screen, const TMessageBox& Box, int Focus);

// A menu centred on the screen.
void Menu(TScreen& Screen, const std::wstring& Title, const std::vector<std::wstring>& Items, int Current);

} // namespace paint
