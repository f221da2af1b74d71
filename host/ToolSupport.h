// What the tests and the benchmarks both need around the helper programs:
// where they are, a scratch folder, and whole-file reads and writes.
#pragma once

#include "ToolText.h"
#include "base/uSystem.h"

#include <windows.h>

#include <string>
#include <vector>

namespace toolsupport {

// The folder of the running program; the helper programs and the language
// files are built next to it.
inline std::wstring ProgramFolder()
{
    wchar_t Path[MAX_PATH];
    const DWORD Length = ::GetModuleFileNameW(nullptr, Path, MAX_PATH);
    const std::wstring Result(Path, Length);
    return Result.substr(0, Result.find_last_of(L'\\'));
}

inline std::wstring FakeCtags()
{
    return ProgramFolder() + L"\\fakectags.exe";
}

inline bool WriteBytes(const std::wstring& Path, const std::string& Bytes)
{
    return tooltext::WriteWholeFile(Path, Bytes);
}

inline std::string ReadFileBytes(const std::wstring& Path)
{
    std::string Result;
    tooltext::ReadWholeFile(Path, Result);
    return Result;
}

// The files (not folders) in Folder.
inline std::vector<std::wstring> FilesIn(const std::wstring& Folder)
{
    std::vector<std::wstring> Names;
    WIN32_FIND_DATAW Data;
    const HANDLE Find = ::FindFirstFileW((Folder + L"\\*").c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE)
        return Names;
    do
        if (!(Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            Names.push_back(Data.cFileName);
    while (::FindNextFileW(Find, &Data));
    ::FindClose(Find);
    return Names;
}

// What is left in a temporary folder (files and folders) once the process
// runner's files of ended children have gone. Those go with the last handle
// to them, and under wine the console host of a child holds its handles a
// moment after the child has ended (seen: about 80 ms), so they are waited
// for, as long as any machine needs.
inline std::vector<std::wstring> LeftIn(const std::wstring& Folder)
{
    std::vector<std::wstring> Names;
    for (int Attempt = 0; Attempt < 1000; ++Attempt) {
        Names.clear();
        bool Runners = false;
        WIN32_FIND_DATAW Data;
        const HANDLE Find = ::FindFirstFileW((Folder + L"\\*").c_str(), &Data);
        if (Find == INVALID_HANDLE_VALUE)
            return Names;
        do {
            const std::wstring Name = Data.cFileName;
            if (Name == L"." || Name == L"..")
                continue;
            Names.push_back(Name);
            Runners = Runners || (Name.rfind(L"lod", 0) == 0 && !(Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY));
        } while (::FindNextFileW(Find, &Data));
        ::FindClose(Find);
        if (!Runners)
            break;
        ::Sleep(10);
    }
    return Names;
}

// A fresh folder under the system's temporary folder, deleted afterwards.
class TScratchDir {
public:
    TScratchDir()
    {
        wchar_t Base[MAX_PATH + 1];
        ::GetTempPathW(MAX_PATH + 1, Base);
        static unsigned Serial = 0;
        FPath = std::wstring(Base) + L"lodestar-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(++Serial);
        ::CreateDirectoryW(FPath.c_str(), nullptr);
    }
    ~TScratchDir() { DeleteDirectoryTree(FPath); }
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;

    const std::wstring& Path() const { return FPath; }
    std::wstring operator/(const std::wstring& Name) const { return FPath + L"\\" + Name; }

private:
    std::wstring FPath;
};

} // namespace toolsupport
