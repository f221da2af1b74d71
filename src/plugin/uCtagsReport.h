// The boxes that tell the user why a run of ctags failed, for every command
// that runs it.
#pragma once

#include "tags/uCtags.h"

#include <string>

// The folder the plugin was loaded from, without its backslash.
std::wstring PluginFolder();

// A box for E. Program is the ctags the user's options named or that was
// looked for; Subject what ctags was run on, as the user knows it (the
// edited file, the project's folder); Configured whether the options name a
// ctags (without one, a box for a missing ctags says where it was looked
// for).
void ShowCtagsError(const ECtagsError& E, const std::wstring& Program, const std::wstring& Subject, bool Configured);
