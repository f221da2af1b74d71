#include "base/uSystem.h"

#include "base/Format.h"
#include "base/Handle.h"
#include "base/uFaults.h"
#include "base/uStrings.h"

#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <memory>

namespace {

// Which file a handle or a path stands for.
struct TFileIdentity {
    DWORD Volume = 0;
    ULONGLONG Index = 0;
    bool operator==(const TFileIdentity&) const = default;
};

// A registered file keeps a handle that reads nothing and shares
// everything: it does not stand in the way of any reader or of the
// deletion, but the file it holds cannot be replaced by another with the
// same identity (file numbers are reused once a file is gone), so the
// name can be checked against it at unload.
struct TTempFile {
    std::wstring Path;
    TFileHandle Handle;
};

// A reparse point (a junction, a symbolic link) names another place: it is
// removed as itself, never entered.
bool IsReparsePoint(const std::wstring& Path)
{
    const DWORD Attributes = ::GetFileAttributesW(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Exists from the library's load to its unload; touched only from the
// host's thread and from the unload.
std::unique_ptr<std::vector<TTempFile>> GTempFiles;

// Backup semantics open folders too; nothing is read or locked.
TFileHandle OpenForIdentity(const std::wstring& Path)
{
    return TFileHandle(::CreateFileW(Path.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool ReadIdentity(HANDLE File, TFileIdentity& Identity)
{
    BY_HANDLE_FILE_INFORMATION Info;
    if (!::GetFileInformationByHandle(File, &Info))
        return false;
    Identity.Volume = Info.dwVolumeSerialNumber;
    Identity.Index = (ULONGLONG(Info.nFileIndexHigh) << 32) | Info.nFileIndexLow;
    return true;
}

// Whether Path still names the file that Held holds.
bool StillNames(const std::wstring& Path, HANDLE Held)
{
    const TFileHandle Now = OpenForIdentity(Path);
    TFileIdentity A, B;
    return Now && ReadIdentity(Now.get(), A) && ReadIdentity(Held, B) && A == B;
}

// Deletes a file, or a folder with its tree; a link goes as a link.
bool DeletePath(const std::wstring& Path)
{
    if (SystemFaultHere(TSystemFault::FileDelete)) {
        ::SetLastError(ERROR_SHARING_VIOLATION);
        return false;
    }
    if (IsReparsePoint(Path))
        return DirectoryExists(Path) ? ::RemoveDirectoryW(Path.c_str()) != FALSE : ::DeleteFileW(Path.c_str()) != FALSE;
    if (DirectoryExists(Path))
        return DeleteDirectoryTree(Path);
    ::SetFileAttributesW(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileW(Path.c_str()) != FALSE;
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

// PATH entries may be quoted, for folders with a semicolon in their name.
std::wstring TrimQuotes(std::wstring Text)
{
    if (Text.size() >= 2 && Text.front() == L'"' && Text.back() == L'"')
        return Text.substr(1, Text.size() - 2);
    return Text;
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
    if (Directory.empty()) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return std::wstring();
    }
    wchar_t Buffer[MAX_PATH + 1];
    if (::GetTempFileNameW(Directory.c_str(), Prefix.c_str(), 0, Buffer) == 0)
        return std::wstring();
    // The service creates the file to reserve the name; the callers only
    // want the name.
    std::wstring Result(Buffer);
    if (FileExists(Result))
        ::DeleteFileW(Result.c_str());
    return Result;
}

std::wstring MakeTempFileNameExt(const std::wstring& Directory, const std::wstring& Prefix,
                                 const std::wstring& Extension)
{
    std::wstring Base = MakeTempFileName(Directory, Prefix);
    // Without a folder that takes files, a bare extension would name a file
    // in whatever folder is current.
    if (Base.empty())
        return std::wstring();
    const size_t Dot = ExtensionStart(Base);
    if (Dot != std::wstring::npos)
        Base.resize(Dot);
    std::wstring Result = Base + Extension;
    for (unsigned Counter = 0; PathExists(Result); ++Counter)
        Result = Base + std::to_wstring(Counter) + Extension;
    return Result;
}

namespace {

// Full control for the current user alone, not inherited from the parent,
// and inherited by what is made inside.
std::wstring PrivateFolderSddl()
{
    TKernelHandle Token;
    HANDLE Raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &Raw))
        return std::wstring();
    Token.reset(Raw);
    DWORD Size = 0;
    ::GetTokenInformation(Token.get(), TokenUser, nullptr, 0, &Size);
    if (Size == 0)
        return std::wstring();
    auto User = std::make_unique<std::uint8_t[]>(Size);
    if (!::GetTokenInformation(Token.get(), TokenUser, User.get(), Size, &Size))
        return std::wstring();
    wchar_t* Sid = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(User.get())->User.Sid, &Sid))
        return std::wstring();
    std::wstring Result = std::wstring(L"D:P(A;OICI;FA;;;") + Sid + L")";
    ::LocalFree(Sid);
    return Result;
}

// The name part after Prefix of a folder MakePrivateFolder made: "-<hex
// process id>-<hex serial>"; the process id, or 0 when Name is not one.
DWORD FolderProcess(std::wstring_view Name, std::wstring_view Prefix)
{
    if (Name.size() <= Prefix.size() + 1 || Name.substr(0, Prefix.size()) != Prefix || Name[Prefix.size()] != L'-')
        return 0;
    Name.remove_prefix(Prefix.size() + 1);
    const size_t Dash = Name.find(L'-');
    if (Dash == 0 || Dash == std::wstring_view::npos || Dash + 1 == Name.size() || Dash > 8)
        return 0;
    const auto IsHex = [](wchar_t C) { return std::iswxdigit(C) != 0; };
    if (!std::all_of(Name.begin(), Name.end(), [&](wchar_t C) { return C == L'-' || IsHex(C); }) ||
        Name.find(L'-', Dash + 1) != std::wstring_view::npos)
        return 0;
    return static_cast<DWORD>(std::wcstoul(std::wstring(Name.substr(0, Dash)).c_str(), nullptr, 16));
}

bool ProcessGone(DWORD Id)
{
    TKernelHandle Process(::OpenProcess(SYNCHRONIZE, FALSE, Id));
    if (Process)
        return ::WaitForSingleObject(Process.get(), 0) == WAIT_OBJECT_0;
    // Refused access is a process that runs as someone else.
    return ::GetLastError() == ERROR_INVALID_PARAMETER;
}

// Whether Name (Prefix and the part FolderProcess reads) was left by
// another process that has ended.
bool LeftByEndedProcess(std::wstring_view Name, std::wstring_view Prefix)
{
    const DWORD Owner = FolderProcess(Name, Prefix);
    return Owner != 0 && Owner != ::GetCurrentProcessId() && ProcessGone(Owner);
}

} // namespace

std::wstring MakePrivateFolder(const std::wstring& Parent, const std::wstring& Prefix)
{
    static std::atomic<unsigned> Serial{0};
    if (Parent.empty()) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return std::wstring();
    }
    const std::wstring Sddl = PrivateFolderSddl();
    PSECURITY_DESCRIPTOR Descriptor = nullptr;
    if (Sddl.empty() ||
        !::ConvertStringSecurityDescriptorToSecurityDescriptorW(Sddl.c_str(), SDDL_REVISION_1, &Descriptor, nullptr))
        return std::wstring();
    // Whatever ends the attempts, the system's reason stays the last error.
    const auto Free = ScopeExit([&] {
        const TLastErrorGuard Guard;
        ::LocalFree(Descriptor);
    });
    SECURITY_ATTRIBUTES Security{sizeof(SECURITY_ATTRIBUTES), Descriptor, FALSE};
    const std::wstring Base = ExpandFileName(Parent.back() == L'\\' || Parent.back() == L'/' ? Parent : Parent + L"\\");
    for (int Attempt = 0; Attempt < 64; ++Attempt) {
        wchar_t Name[48];
        std::swprintf(Name, std::size(Name), L"-%lx-%x", ::GetCurrentProcessId(), Serial.fetch_add(1));
        const std::wstring Path = Base + Prefix + Name;
        // Made new, never an existing folder taken over.
        if (::CreateDirectoryW(Path.c_str(), &Security)) {
            // A folder the registry could not take would be left for good.
            try {
                RegisterTempFile(Path);
            } catch (...) {
                ::RemoveDirectoryW(Path.c_str());
                throw;
            }
            return Path;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return std::wstring();
}

void RemoveLeftoverFolders(const std::wstring& Parent, const std::wstring& Prefix) noexcept
{
    try {
        if (Parent.empty())
            return;
        const std::wstring Base = Parent.back() == L'\\' || Parent.back() == L'/' ? Parent : Parent + L"\\";
        WIN32_FIND_DATAW Data;
        TFindHandle Find(::FindFirstFileW((Base + Prefix + L"-*").c_str(), &Data));
        if (!Find)
            return;
        do {
            const DWORD Attributes = Data.dwFileAttributes;
            if (!(Attributes & FILE_ATTRIBUTE_DIRECTORY) || (Attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            if (LeftByEndedProcess(Data.cFileName, Prefix))
                DeleteDirectoryTree(Base + Data.cFileName);
        } while (::FindNextFileW(Find.get(), &Data));
    } catch (...) {
        // A leftover stays for the next start.
    }
}

void RemoveLeftoverFiles(const std::wstring& PathPrefix, const std::wstring& Suffix) noexcept
{
    try {
        const size_t Slash = PathPrefix.find_last_of(L"\\/");
        if (Slash == std::wstring::npos || Suffix.empty())
            return;
        const std::wstring Folder = PathPrefix.substr(0, Slash + 1);
        const std::wstring Prefix = UpperCaseText(PathPrefix.substr(Slash + 1));
        const std::wstring Ending = UpperCaseText(Suffix);
        WIN32_FIND_DATAW Data;
        TFindHandle Find(::FindFirstFileW((PathPrefix + L"-*" + Suffix).c_str(), &Data));
        if (!Find)
            return;
        do {
            if (Data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            const std::wstring Name = UpperCaseText(Data.cFileName);
            if (Name.size() <= Ending.size() || Name.compare(Name.size() - Ending.size(), Ending.size(), Ending) != 0)
                continue;
            if (LeftByEndedProcess(std::wstring_view(Name).substr(0, Name.size() - Ending.size()), Prefix))
                ::DeleteFileW((Folder + Data.cFileName).c_str());
        } while (::FindNextFileW(Find.get(), &Data));
    } catch (...) {
        // A leftover stays for the next run.
    }
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

std::wstring FindProgram(const std::wstring& Name, const std::wstring& Folder)
{
    if (Name.empty())
        return std::wstring();
    const TPathKind Kind = PathKind(Name);
    if (Kind == TPathKind::OnCurrentDrive)
        return std::wstring();
    if (Kind == TPathKind::Full) {
        const std::wstring Full = ExpandFileName(Name);
        return FileExists(Full) ? Full : std::wstring();
    }
    const bool HasExtension = ExtensionStart(Name) != std::wstring::npos;
    std::vector<std::wstring> Folders;
    if (!Folder.empty())
        Folders.push_back(Folder);
    const DWORD Size = ::GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (Size > 0) {
        std::wstring Path(Size, L'\0');
        Path.resize(::GetEnvironmentVariableW(L"PATH", Path.data(), Size));
        for (size_t Start = 0; Start <= Path.size();) {
            size_t End = Path.find(L';', Start);
            if (End == std::wstring::npos)
                End = Path.size();
            std::wstring Entry = TrimQuotes(Path.substr(Start, End - Start));
            // A relative entry (".", an empty one) would mean the current
            // directory again, and "\bin" or "C:bin" the current drive.
            if (IsAbsolutePath(Entry))
                Folders.push_back(std::move(Entry));
            Start = End + 1;
        }
    }
    for (std::wstring Dir : Folders) {
        if (Dir.back() != L'\\' && Dir.back() != L'/')
            Dir += L'\\';
        const std::wstring Full = ExpandFileName(Dir + Name + (HasExtension ? L"" : L".exe"));
        if (FileExists(Full))
            return Full;
    }
    return std::wstring();
}

bool IsProgramImage(const std::wstring& Path)
{
    TFileHandle File(::CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    if (!File)
        return false;
    // The DOS header: "MZ", and at 0x3C where the PE header starts.
    std::uint8_t Header[64];
    DWORD Done = 0;
    if (!::ReadFile(File.get(), Header, sizeof(Header), &Done, nullptr) || Done != sizeof(Header) || Header[0] != 'M' ||
        Header[1] != 'Z')
        return false;
    const std::uint32_t Offset = Header[0x3C] | Header[0x3D] << 8 | Header[0x3E] << 16 |
                                 static_cast<std::uint32_t>(Header[0x3F]) << 24;
    LARGE_INTEGER At;
    At.QuadPart = Offset;
    char Signature[4];
    return ::SetFilePointerEx(File.get(), At, nullptr, FILE_BEGIN) &&
           ::ReadFile(File.get(), Signature, sizeof(Signature), &Done, nullptr) && Done == sizeof(Signature) &&
           std::equal(Signature, Signature + 4, "PE\0\0");
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
                // The attributes of a link would be its target's.
                if (!(Data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
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

void RegisterTempFile(const std::wstring& Path)
{
    // A name relative to today's current directory must not mean another
    // file at unload; a path that cannot be opened is not the plugin's to
    // delete later.
    const std::wstring Full = ExpandFileName(Path);
    if (!GTempFiles || Full.empty())
        return;
    TFileHandle Handle = OpenForIdentity(Full);
    if (Handle)
        GTempFiles->push_back({Full, std::move(Handle)});
}

bool DeleteTempFile(const std::wstring& Path) noexcept
{
    try {
        const std::wstring Full = ExpandFileName(Path);
        if (GTempFiles) {
            auto& Files = *GTempFiles;
            const auto Found = std::find_if(Files.begin(), Files.end(),
                                            [&](const TTempFile& F) { return F.Path == Full; });
            if (Found != Files.end()) {
                // What stands at the path now may be another program's: a
                // folder of ours renamed away and another put in its place.
                // That one is left alone.
                if (!StillNames(Full, Found->Handle.get())) {
                    Files.erase(Found);
                    return true;
                }
                TFileIdentity Ours;
                const bool Known = ReadIdentity(Found->Handle.get(), Ours);
                // Kept for the unload only while the path names the same
                // file; reopening it allocates nothing, so it holds also
                // when memory has run out.
                const auto Keep = [&]() noexcept {
                    Found->Handle = OpenForIdentity(Full);
                    TFileIdentity Now;
                    if (!Known || !Found->Handle || !ReadIdentity(Found->Handle.get(), Now) || !(Now == Ours))
                        Files.erase(Found);
                };
                // The handle goes first: a folder with an open handle is
                // not removed at once.
                Found->Handle.reset();
                bool Deleted = false;
                try {
                    Deleted = DeletePath(Full) || !PathExists(Full);
                } catch (...) {
                    Keep();
                    throw;
                }
                if (Deleted) {
                    Files.erase(Found);
                    return true;
                }
                Keep();
                return false;
            }
        }
        return DeletePath(Full) || !PathExists(Full);
    } catch (...) {
        return false;
    }
}

TStrings TempFiles()
{
    TStrings Paths;
    if (GTempFiles)
        for (const TTempFile& File : *GTempFiles)
            Paths.push_back(File.Path);
    return Paths;
}

void DeleteTempFiles() noexcept
{
    if (!GTempFiles)
        return;
    try {
        for (TTempFile& File : *GTempFiles) {
            const bool Ours = StillNames(File.Path, File.Handle.get());
            File.Handle.reset();
            if (Ours)
                DeletePath(File.Path);
        }
        GTempFiles->clear();
    } catch (...) {
        // Unloading goes on whatever happens here.
    }
}

void SystemInitializeUnit()
{
    GTempFiles = std::make_unique<std::vector<TTempFile>>();
}

void SystemFinalizeUnit() noexcept
{
    DeleteTempFiles();
    GTempFiles.reset();
}

bool ReadWholeFile(const std::wstring& Path, std::string& Bytes)
{
    TFileHandle File(::CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    if (!File)
        return false;
    char Buffer[65536];
    DWORD Done = 0;
    while (::ReadFile(File.get(), Buffer, sizeof(Buffer), &Done, nullptr) && Done > 0)
        Bytes.append(Buffer, Done);
    return true;
}

bool WriteWholeFile(const std::wstring& Path, std::string_view Bytes)
{
    TFileHandle File(::CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!File)
        return false;
    DWORD Done = 0;
    return ::WriteFile(File.get(), Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done, nullptr) &&
           Done == Bytes.size();
}

std::wstring SystemErrorText(DWORD Code)
{
    wchar_t* Text = nullptr;
    const DWORD Length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, Code, 0, reinterpret_cast<wchar_t*>(&Text), 0, nullptr);
    std::wstring Result = Length ? std::wstring(Text, Length) : Format(L"System error %u", {Code});
    if (Text)
        ::LocalFree(Text);
    while (!Result.empty() && (Result.back() == L'\n' || Result.back() == L'\r' || Result.back() == L' '))
        Result.pop_back();
    return Result;
}

TPathKind PathKind(const std::wstring& Path)
{
    const auto Separator = [&](size_t I) { return I < Path.size() && (Path[I] == L'\\' || Path[I] == L'/'); };
    if (Separator(0))
        return Separator(1) ? TPathKind::Full : TPathKind::OnCurrentDrive;
    if (Path.size() >= 2 && Path[1] == L':')
        return Separator(2) ? TPathKind::Full : TPathKind::OnCurrentDrive;
    return TPathKind::Relative;
}

bool IsAbsolutePath(const std::wstring& Path)
{
    return PathKind(Path) == TPathKind::Full;
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
