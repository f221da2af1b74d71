#include "LngFile.h"

#include "ToolText.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>
#include <sstream>

namespace {

std::wstring Decode(const std::string& Bytes, UINT CodePage, DWORD Flags, bool& Ok)
{
    Ok = true;
    if (Bytes.empty())
        return std::wstring();
    const int Size = ::MultiByteToWideChar(CodePage, Flags, Bytes.data(), static_cast<int>(Bytes.size()), nullptr, 0);
    if (Size <= 0) {
        Ok = false;
        return std::wstring();
    }
    std::wstring Text(static_cast<size_t>(Size), L'\0');
    ::MultiByteToWideChar(CodePage, Flags, Bytes.data(), static_cast<int>(Bytes.size()), Text.data(), Size);
    return Text;
}

std::wstring ToText(const std::string& Bytes)
{
    bool Ok = true;
    if (Bytes.size() >= 3 && static_cast<unsigned char>(Bytes[0]) == 0xEF &&
        static_cast<unsigned char>(Bytes[1]) == 0xBB && static_cast<unsigned char>(Bytes[2]) == 0xBF)
        return Decode(Bytes.substr(3), CP_UTF8, 0, Ok);
    if (Bytes.size() >= 2 && static_cast<unsigned char>(Bytes[0]) == 0xFF &&
        static_cast<unsigned char>(Bytes[1]) == 0xFE) {
        std::wstring Text((Bytes.size() - 2) / 2, L'\0');
        std::copy_n(Bytes.data() + 2, Text.size() * 2, reinterpret_cast<char*>(Text.data()));
        return Text;
    }
    std::wstring Text = Decode(Bytes, CP_UTF8, MB_ERR_INVALID_CHARS, Ok);
    if (Ok)
        return Text;
    return Decode(Bytes, CP_OEMCP, 0, Ok);
}

std::wstring Trim(const std::wstring& Line)
{
    const size_t First = Line.find_first_not_of(L" \t");
    if (First == std::wstring::npos)
        return std::wstring();
    const size_t Last = Line.find_last_not_of(L" \t");
    return Line.substr(First, Last - First + 1);
}

std::wstring Unescape(const std::wstring& Text)
{
    std::wstring Result;
    Result.reserve(Text.size());
    for (size_t I = 0; I < Text.size(); ++I) {
        const wchar_t C = Text[I];
        if (C == L'\\' && I + 1 < Text.size()) {
            // The escapes the host's language files use.
            static constexpr std::pair<wchar_t, wchar_t> Escapes[] = {{L'\\', L'\\'}, {L'"', L'"'},  {L'n', L'\n'},
                                                                      {L'r', L'\r'},  {L't', L'\t'}, {L'b', L'\b'}};
            const wchar_t N = Text[I + 1];
            const auto* Escape = std::find_if(std::begin(Escapes), std::end(Escapes),
                                              [N](const auto& Pair) { return Pair.first == N; });
            if (Escape != std::end(Escapes)) {
                Result += Escape->second;
                ++I;
                continue;
            }
        } else if (C == L'"' && I + 1 < Text.size() && Text[I + 1] == L'"') {
            Result += L'"';
            ++I;
            continue;
        }
        Result += C;
    }
    return Result;
}

bool EqualsNoCase(const std::wstring& A, const std::wstring& B)
{
    return ::CompareStringOrdinal(A.c_str(), static_cast<int>(A.size()), B.c_str(), static_cast<int>(B.size()), TRUE) ==
           CSTR_EQUAL;
}

} // namespace

bool ParseLngFile(const std::string& Bytes, TLngFile& File)
{
    const std::wstring Text = ToText(Bytes);
    std::wstringstream Stream(Text);
    std::wstring Line;
    bool HaveHeader = false;
    while (std::getline(Stream, Line)) {
        if (!Line.empty() && Line.back() == L'\r')
            Line.pop_back();
        Line = Trim(Line);
        if (Line.empty())
            continue;
        if (Line[0] == L'"') {
            if (!HaveHeader)
                return false; // the host stops looking for the header here
            std::wstring Body = Line.substr(1);
            if (!Body.empty() && Body.back() == L'"')
                Body.pop_back();
            File.Messages.push_back(Unescape(Body));
            continue;
        }
        static const std::wstring Header = L".Language=";
        if (!HaveHeader && Line.compare(0, Header.size(), Header) == 0) {
            const std::wstring Value = Line.substr(Header.size());
            const size_t Comma = Value.find(L',');
            File.Language = Trim(Value.substr(0, Comma));
            File.Description = Comma == std::wstring::npos ? std::wstring() : Trim(Value.substr(Comma + 1));
            HaveHeader = true;
        }
    }
    return HaveHeader;
}

bool LoadLanguage(const std::wstring& Folder, const std::wstring& Language, TLngFile& Chosen)
{
    std::vector<TLngFile> Files;
    WIN32_FIND_DATAW Data;
    const std::wstring Pattern = Folder + L"\\*.lng";
    HANDLE Find = ::FindFirstFileW(Pattern.c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE)
        return false;
    do {
        if (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const std::wstring Path = Folder + L"\\" + Data.cFileName;
        std::string Bytes;
        if (!tooltext::ReadWholeFile(Path, Bytes))
            continue;
        TLngFile File;
        File.FileName = Data.cFileName;
        if (ParseLngFile(Bytes, File))
            Files.push_back(std::move(File));
    } while (::FindNextFileW(Find, &Data));
    ::FindClose(Find);
    if (Files.empty())
        return false;
    for (const TLngFile& File : Files)
        if (EqualsNoCase(File.Language, Language)) {
            Chosen = File;
            return true;
        }
    for (const TLngFile& File : Files)
        if (EqualsNoCase(File.Language, L"English")) {
            Chosen = File;
            return true;
        }
    Chosen = Files.back();
    return true;
}
