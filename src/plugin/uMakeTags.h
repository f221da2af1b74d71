// Making a project's tags file: ctags over the project's folder, the new
// file put in place of the old one only when ctags succeeded.
#pragma once

#include <cstdint>
#include <string>

// Asks for the project's folder, offering Proposed (when empty: the folder
// of the tags file found above the edited file, else the edited file's
// folder), and makes the tags file there under the first name the options
// give. True when it was made; its full path then goes to Made, when given.
// A caller that asks for the path goes on with the file itself, so the
// user gets no box that says it was made; without Made a short box says
// how many tags went where.
bool MakeProjectTags(const std::wstring& Proposed = std::wstring(), std::wstring* Made = nullptr);

// A count as the user's locale groups its digits: "7,831,776".
std::wstring GroupedNumber(std::uint64_t Value);
// Milliseconds as a clock shows them: "0:07", "12:05", "1:02:03".
std::wstring ElapsedText(std::uint32_t Milliseconds);
