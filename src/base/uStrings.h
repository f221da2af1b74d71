// Code-page conversions and the small text helpers that the text streams,
// the process runner and the tag parser share.
#pragma once

#include "base/Exception.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

LODESTAR_DECLARE_EXCEPTION(EStringError, Exception);

// Bytes of the system ANSI code page converted to the system OEM code page,
// byte for byte.
std::string AnsiToOem(std::string_view Bytes);
// UTF-16 text as bytes of CodePage; raises EStringError "Conversion failed."
// when the system refuses. Empty text gives empty bytes.
std::string WideToCodePage(unsigned CodePage, std::wstring_view Text);
std::string WideToUtf8(std::wstring_view Text);
// The same conversion appended to Out, so that a caller converting many
// small texts reuses one buffer.
void AppendWideToCodePage(unsigned CodePage, std::wstring_view Text, std::string& Out);

// Bytes of CodePage as UTF-16; bytes the code page cannot map are replaced
// as the system does it. Never raises.
std::wstring CodePageToWide(unsigned CodePage, std::string_view Bytes);
// True when Bytes is well-formed UTF-8 (the empty text is).
bool IsValidUtf8(std::string_view Bytes);

// Bytes as UTF-16 when they are well-formed UTF-8, else false (Text then
// holds nothing of use). Past 2 GiB raises EStringError.
bool TryDecodeUtf8(std::string_view Bytes, std::wstring& Text);

// Captured program output as text: a UTF-8 or UTF-16 (either byte order)
// byte-order mark decides and is dropped; without one the bytes are UTF-8
// when they are valid UTF-8, else the system ANSI code page. NULs are kept
// (the line splitters end a line at one). More than the system can decode
// (2 GiB after the first non-ASCII byte) raises EStringError.
std::wstring DecodeText(std::string_view Bytes);

// Lines of Text, broken at CR LF, LF or a lone CR; a break at the very end
// does not start another line. A NUL ends its line: the rest of that line
// is dropped.
std::vector<std::wstring> SplitTextLines(std::wstring_view Text);
// The same lines one at a time, as views into Text: Line gets the line that
// starts at Pos and Pos moves past its break; false once Pos is at the end.
bool NextTextLine(std::wstring_view Text, size_t& Pos, std::wstring_view& Line);
// The position of the first A or B in Text from From on, or Text.size();
// several units at a time, for the megabytes of captured output.
size_t FindEither(std::wstring_view Text, size_t From, wchar_t A, wchar_t B);
// The position of the first Byte in Text from From on, or Text.size(); for
// the gigabyte of a tags file (the C runtime's memchr goes a byte at a time
// under wine).
size_t FindByte(std::string_view Text, size_t From, char Byte) noexcept;

// Text upper-cased as the system's locale does it (CharUpperBuffW).
std::wstring UpperCaseText(std::wstring_view Text);

// Text without the characters 0 to 32 at either end.
std::wstring TrimText(std::wstring_view Text);

// The integer conversion of the tag parser: leading blanks, an optional sign,
// then decimal digits, or hexadecimal digits after $, x, X, 0x or 0X. Any
// other character, an empty number or a value outside 32 bits fails.
bool TryStrToInt32(std::wstring_view Text, std::int32_t& Value);

// The user's locale-aware comparison without regard to case: <0, 0 or >0.
int CompareTextLocale(std::wstring_view A, std::wstring_view B);
// The same comparison as bytes: two keys compare (as unsigned bytes) the way
// CompareTextLocale compares their texts, so that sorting many texts asks
// the system once per text instead of once per comparison.
std::string SortKeyLocale(std::wstring_view Text);
