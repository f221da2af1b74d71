#include "uSystem.h"

#include "Handle.h"

#include <memory>

namespace {

// Exists from the library's load to its unload.
std::unique_ptr<TStrings> GTempFiles;

// Kept as a full path: a name relative to today's current directory must not
// delete a file of the same name in another directory at unload.
void RegisterTempFile(const std::wstring& Path)
{
    if (GTempFiles && !Path.empty())
        GTempFiles->push_back(ExpandFileName(Path));
}

bool IsPathDelimiter(wchar_t C)
{
    return C == L'\\' || C == L'/' || C == L':';
}

// Where the extension starts: the last dot after the last delimiter, or npos.
size_t ExtensionStart(const std::wstring& Path)
{
    for (size_t I = Path.size(); I > 0; --I) {
        const wchar_t C = Path[I - 1];
        if (C == L'.')
            return I - 1;
        if (IsPathDelimiter(C))
            break;
    }
    return std::wstring::npos;
}

bool PathExists(const std::wstring& Path)
{
    return ::GetFileAttributesW(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

std::wstring GetTempDirectory()
{
    wchar_t Buffer[MAX_PATH + 1];
    const DWORD Length = ::GetTempPathW(MAX_PATH + 1, Buffer);
    if (Length == 0 || Length > MAX_PATH)
        return std::wstring();
    return std::wstring(Buffer, Length);
}

std::wstring MakeTempFileName(const std::wstring& Directory, const std::wstring& Prefix)
{
    wchar_t Buffer[MAX_PATH + 1];
    if (::GetTempFileNameW(Directory.c_str(), Prefix.c_str(), 0, Buffer) == 0)
        return std::wstring();
    // The service creates the file to reserve the name; the callers only
    // want the name.
    std::wstring Result(Buffer);
    if (FileExists(Result))
        ::DeleteFileW(Result.c_str());
    RegisterTempFile(Result);
    return Result;
}

std::wstring MakeTempFileNameExt(const std::wstring& Directory, const std::wstring& Prefix,
                                 const std::wstring& Extension)
{
    std::wstring Base = MakeTempFileName(Directory, Prefix);
    const size_t Dot = ExtensionStart(Base);
    if (Dot != std::wstring::npos)
        Base.resize(Dot);
    std::wstring Result = Base + Extension;
    for (unsigned Counter = 0; PathExists(Result); ++Counter)
        Result = Base + std::to_wstring(Counter) + Extension;
    RegisterTempFile(Result);
    return Result;
}

std::wstring ExpandEnvironment(const std::wstring& Text)
{
    std::wstring Buffer(16384, L'\0');
    DWORD Size = ::ExpandEnvironmentStringsW(Text.c_str(), Buffer.data(), static_cast<DWORD>(Buffer.size()));
    if (Size > Buffer.size()) {
        // Long values are rare but real (a PATH-like variable); expanding
        // them fully beats silently keeping the reference.
        Buffer.assign(Size, L'\0');
        Size = ::ExpandEnvironmentStringsW(Text.c_str(), Buffer.data(), static_cast<DWORD>(Buffer.size()));
    }
    if (Size == 0 || Size > Buffer.size())
        return Text;
    Buffer.resize(Size - 1);
    return Buffer;
}

bool DeleteDirectoryTree(const std::wstring& Directory)
{
    std::wstring Dir = Directory;
    if (Dir.empty() || Dir.back() != L'\\')
        Dir += L'\\';
    bool Success = true;
    WIN32_FIND_DATAW Data;
    TFindHandle Find(::FindFirstFileW((Dir + L"*.*").c_str(), &Data));
    if (Find) {
        do {
            const std::wstring Name = Data.cFileName;
            const std::wstring Path = Dir + Name;
            if (!(Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                ::SetFileAttributesW(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
                Success = ::DeleteFileW(Path.c_str()) && Success;
            } else if (Name != L"." && Name != L"..") {
                // A junction or directory link goes as a link: following it
                // would delete what it points to.
                if (Data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    Success = ::RemoveDirectoryW(Path.c_str()) && Success;
                else
                    Success = DeleteDirectoryTree(Path + L"\\") && Success;
            }
        } while (::FindNextFileW(Find.get(), &Data));
    }
    Find.reset();
    if (!Success)
        return false;
    Dir.pop_back();
    return ::RemoveDirectoryW(Dir.c_str()) != FALSE;
}

TStrings* TempFiles()
{
    return GTempFiles.get();
}

void DeleteTempFiles() noexcept
{
    if (!GTempFiles)
        return;
    try {
        for (const std::wstring& Path : *GTempFiles) {
            if (DirectoryExists(Path))
                DeleteDirectoryTree(Path);
            else if (FileExists(Path))
                ::DeleteFileW(Path.c_str());
        }
    } catch (...) {
        // Unloading goes on whatever happens here.
    }
}

void SystemInitializeUnit()
{
    GTempFiles = std::make_unique<TStrings>();
}

void SystemFinalizeUnit() noexcept
{
    DeleteTempFiles();
    GTempFiles.reset();
}

bool FileExists(const std::wstring& Path)
{
    const DWORD Attributes = ::GetFileAttributesW(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& Path)
{
    const DWORD Attributes = ::GetFileAttributesW(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ExpandFileName(const std::wstring& Path)
{
    if (Path.empty())
        return Path;
    DWORD Size = ::GetFullPathNameW(Path.c_str(), 0, nullptr, nullptr);
    if (Size == 0)
        return Path;
    std::wstring Result(Size, L'\0');
    Size = ::GetFullPathNameW(Path.c_str(), Size, Result.data(), nullptr);
    if (Size == 0 || Size >= Result.size())
        return Path;
    Result.resize(Size);
    return Result;
}

std::wstring ExtractFileDir(const std::wstring& Path)
{
    size_t End = Path.size();
    while (End > 0 && !IsPathDelimiter(Path[End - 1]))
        --End;
    // Keep the backslash of a root ("C:\") but drop any other trailing one.
    if (End > 1 && (Path[End - 1] == L'\\' || Path[End - 1] == L'/') && Path[End - 2] != L':' &&
        !IsPathDelimiter(Path[End - 2]))
        --End;
    return Path.substr(0, End);
}

std::wstring ExtractFileExt(const std::wstring& Path)
{
    const size_t Dot = ExtensionStart(Path);
    return Dot == std::wstring::npos ? std::wstring() : Path.substr(Dot);
}

std::wstring ChangeFileExt(const std::wstring& Path, const std::wstring& Extension)
{
    const size_t Dot = ExtensionStart(Path);
    return (Dot == std::wstring::npos ? Path : Path.substr(0, Dot)) + Extension;
}

std::wstring GetCurrentDir()
{
    DWORD Size = ::GetCurrentDirectoryW(0, nullptr);
    if (Size == 0)
        return std::wstring();
    std::wstring Result(Size, L'\0');
    Size = ::GetCurrentDirectoryW(Size, Result.data());
    Result.resize(Size < Result.size() ? Size : 0);
    return Result;
}

bool SetCurrentDir(const std::wstring& Directory)
{
    return ::SetCurrentDirectoryW(Directory.c_str()) != FALSE;
}

std::wstring QuotedStr(const std::wstring& Text)
{
    std::wstring Result = L"\"";
    for (const wchar_t C : Text) {
        if (C == L'"')
            Result += L'"';
        Result += C;
    }
    return Result + L'"';
}
