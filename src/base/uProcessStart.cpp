#include "base/uProcessStart.h"

#include "base/uSystem.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <iterator>
#include <memory>
#include <string_view>

namespace {

constexpr DWORD PipeBufferSize = TransferBufferSize;

// A file in the temporary folder for one of the child's outputs: the child
// writes through an inheritable handle of its own, the runner reads through
// another, and the file, opened to be deleted on close, goes with the last
// handle, whatever ends the run (an Esc, a crash, a deadline).
bool CreateOutputFile(TFileHandle& ChildEnd, TFileHandle& RunnerEnd)
{
    static std::atomic<unsigned> Serial{0};
    const std::wstring Folder = GetTempDirectory();
    if (Folder.empty()) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    SECURITY_ATTRIBUTES Inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    // A name of the process, a serial and the clock, made new (never an
    // existing file taken over) in one step.
    for (int Attempt = 0; Attempt < 16 && !ChildEnd; ++Attempt) {
        LARGE_INTEGER Clock;
        ::QueryPerformanceCounter(&Clock);
        wchar_t Name[64];
        std::swprintf(Name, std::size(Name), L"lod%lx-%x-%llx.tmp", ::GetCurrentProcessId(), Serial.fetch_add(1),
                      static_cast<unsigned long long>(Clock.QuadPart));
        const std::wstring Path = Folder + Name;
        ChildEnd.reset(::CreateFileW(Path.c_str(), GENERIC_WRITE, ShareAll, &Inherited, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (ChildEnd)
            RunnerEnd.reset(::CreateFileW(Path.c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
        else if (::GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    return RunnerEnd.valid();
}

// Where the child's output goes that nobody reads.
TFileHandle OpenNul()
{
    SECURITY_ATTRIBUTES Inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return TFileHandle(::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &Inherited,
                                     OPEN_EXISTING, 0, nullptr));
}

// Both ends of one pipe. Like the system's anonymous pipes, the reading end
// is the pipe's server and the writing end its client; unlike them, the
// runner's end is opened for overlapped I/O.
struct TPipe {
    TFileHandle Read;
    TFileHandle Write;
};

bool CreateRunnerPipe(TPipe& Pipe, bool RunnerReads)
{
    static std::atomic<unsigned> Serial{0};
    // The child's end is inheritable; the runner's never is, so no other
    // child started meanwhile can hold it and delay the end of the output.
    SECURITY_ATTRIBUTES ReadSecurity{sizeof(SECURITY_ATTRIBUTES), nullptr, RunnerReads ? FALSE : TRUE};
    SECURITY_ATTRIBUTES WriteSecurity{sizeof(SECURITY_ATTRIBUTES), nullptr, RunnerReads ? TRUE : FALSE};
    wchar_t Name[96];
    for (int Attempt = 0; Attempt < 16; ++Attempt) {
        // Process ids come back soon: a process started by an earlier
        // process of the same id may still hold a pipe of that name, so the
        // clock goes into the name too, and a taken name is tried again.
        LARGE_INTEGER Clock;
        ::QueryPerformanceCounter(&Clock);
        std::swprintf(Name, std::size(Name), L"\\\\.\\pipe\\Lodestar.%08lx.%08x.%016llx", ::GetCurrentProcessId(),
                      Serial.fetch_add(1), static_cast<unsigned long long>(Clock.QuadPart));
        Pipe.Read.reset(::CreateNamedPipeW(
            Name, PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE | (RunnerReads ? FILE_FLAG_OVERLAPPED : 0),
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, PipeBufferSize, 0,
            &ReadSecurity));
        if (Pipe.Read || (::GetLastError() != ERROR_ACCESS_DENIED && ::GetLastError() != ERROR_PIPE_BUSY))
            break;
    }
    if (!Pipe.Read)
        return false;
    Pipe.Write.reset(::CreateFileW(Name, GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, &WriteSecurity, OPEN_EXISTING,
                                   RunnerReads ? 0 : FILE_FLAG_OVERLAPPED, nullptr));
    return Pipe.Write.valid();
}

// The child's three handles as the only ones it inherits, so that ctags never
// holds on to unrelated handles of a busy host.
class THandleList {
public:
    // False, as for any other failure, when there are more handles than
    // the list has room for.
    bool Build(const HANDLE* Handles, size_t Count)
    {
        for (size_t I = 0; I < Count; ++I) {
            bool Seen = false;
            for (size_t J = 0; J < FCount; ++J)
                Seen = Seen || FHandles[J] == Handles[I];
            if (Seen)
                continue;
            if (FCount == std::size(FHandles))
                return false;
            FHandles[FCount++] = Handles[I];
        }
        SIZE_T Size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &Size);
        FStorage = std::make_unique<std::uint8_t[]>(Size);
        auto* List = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(FStorage.get());
        if (!::InitializeProcThreadAttributeList(List, 1, 0, &Size)) {
            FStorage.reset();
            return false;
        }
        FList = List;
        return ::UpdateProcThreadAttribute(FList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, FHandles,
                                           FCount * sizeof(HANDLE), nullptr, nullptr) != FALSE;
    }
    ~THandleList()
    {
        if (FList)
            ::DeleteProcThreadAttributeList(FList);
    }
    LPPROC_THREAD_ATTRIBUTE_LIST List() const noexcept { return FList; }

private:
    HANDLE FHandles[3] = {};
    size_t FCount = 0;
    std::unique_ptr<std::uint8_t[]> FStorage;
    LPPROC_THREAD_ATTRIBUTE_LIST FList = nullptr;
};

// The name of an environment entry "NAME=value"; an entry of the system's
// own ("=C:=C:\\dir") keeps its leading "=" in its name.
std::wstring_view EntryName(std::wstring_view Entry)
{
    const size_t Equals = Entry.find(L'=', 1);
    return Entry.substr(0, Equals == std::wstring_view::npos ? Entry.size() : Equals);
}

bool SameName(std::wstring_view A, std::wstring_view B)
{
    return ::CompareStringOrdinal(A.data(), static_cast<int>(A.size()), B.data(), static_cast<int>(B.size()), TRUE) ==
           CSTR_EQUAL;
}

// The caller's environment with Overrides in place of its own entries of
// those names, as a block for CreateProcessW: each entry ends with a NUL and
// the block with another, in the order of names without regard to case, as
// the system keeps them.
std::wstring EnvironmentBlock(const TStrings& Overrides)
{
    std::vector<std::wstring> Entries;
    if (wchar_t* Strings = ::GetEnvironmentStringsW()) {
        for (const wchar_t* Entry = Strings; *Entry; Entry += std::wcslen(Entry) + 1) {
            const std::wstring_view Name = EntryName(Entry);
            const bool Replaced = std::any_of(Overrides.begin(), Overrides.end(),
                                              [&](const std::wstring& O) { return SameName(EntryName(O), Name); });
            if (!Replaced)
                Entries.emplace_back(Entry);
        }
        ::FreeEnvironmentStringsW(Strings);
    }
    Entries.insert(Entries.end(), Overrides.begin(), Overrides.end());
    std::stable_sort(Entries.begin(), Entries.end(), [](const std::wstring& A, const std::wstring& B) {
        const std::wstring_view NameA = EntryName(A);
        const std::wstring_view NameB = EntryName(B);
        return ::CompareStringOrdinal(NameA.data(), static_cast<int>(NameA.size()), NameB.data(),
                                      static_cast<int>(NameB.size()), TRUE) == CSTR_LESS_THAN;
    });
    std::wstring Block;
    for (const std::wstring& Entry : Entries) {
        Block += Entry;
        Block += L'\0';
    }
    Block += L'\0';
    return Block;
}

// Records why the start failed, from the system's last error, and fails.
bool Failed(TProcessStatus& Status, TProcessFailure Failure)
{
    Status.Failure = Failure;
    Status.SystemError = ::GetLastError();
    return false;
}

} // namespace

bool StartChild(const std::wstring& CommandLine, bool Redirect, const TChildOutputs& Outputs, std::uint16_t ShowWindow,
                std::uint32_t CreationFlags, const TProcessOptions& Options, TChild& Child, TProcessStatus& Status)
{
    // A folder that is not there would otherwise come back as an unclear
    // failure to start, or on some systems not at all.
    if (!Options.Directory.empty()) {
        const DWORD Attributes = ::GetFileAttributesW(Options.Directory.c_str());
        if (Attributes == INVALID_FILE_ATTRIBUTES)
            return Failed(Status, TProcessFailure::Directory);
        if (!(Attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ::SetLastError(ERROR_DIRECTORY);
            return Failed(Status, TProcessFailure::Directory);
        }
    }
    TPipe InputPipe;
    TFileHandle OutputEnd, ErrorEnd, OutputReader, ErrorReader;
    if (Redirect) {
        if (!CreateRunnerPipe(InputPipe, false))
            return Failed(Status, TProcessFailure::Setup);
        if (Outputs.Output || (Outputs.Shared && Outputs.Errors)) {
            if (!CreateOutputFile(OutputEnd, OutputReader))
                return Failed(Status, TProcessFailure::Setup);
        } else if (!(OutputEnd = OpenNul())) {
            return Failed(Status, TProcessFailure::Setup);
        }
        if (!Outputs.Shared) {
            if (Outputs.Errors) {
                if (!CreateOutputFile(ErrorEnd, ErrorReader))
                    return Failed(Status, TProcessFailure::Setup);
            } else if (!(ErrorEnd = OpenNul())) {
                return Failed(Status, TProcessFailure::Setup);
            }
        }
    }

    STARTUPINFOEXW Startup{};
    Startup.StartupInfo.cb = sizeof(Startup);
    Startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    Startup.StartupInfo.wShowWindow = ShowWindow;
    THandleList Inherited;
    DWORD Flags = CreationFlags | CREATE_NEW_CONSOLE | CREATE_DEFAULT_ERROR_MODE;
    if (Redirect) {
        Startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
        Startup.StartupInfo.hStdInput = InputPipe.Read.get();
        Startup.StartupInfo.hStdOutput = OutputEnd.get();
        Startup.StartupInfo.hStdError = Outputs.Shared ? OutputEnd.get() : ErrorEnd.get();
        const HANDLE Handles[] = {Startup.StartupInfo.hStdInput, Startup.StartupInfo.hStdOutput,
                                  Startup.StartupInfo.hStdError};
        if (!Inherited.Build(Handles, 3))
            return Failed(Status, TProcessFailure::Setup);
        Startup.lpAttributeList = Inherited.List();
        Flags |= EXTENDED_STARTUPINFO_PRESENT;
    }

    std::wstring Environment;
    if (!Options.Environment.empty()) {
        Environment = EnvironmentBlock(Options.Environment);
        Flags |= CREATE_UNICODE_ENVIRONMENT;
    }
    const wchar_t* Program = Options.Program.empty() ? nullptr : Options.Program.c_str();
    const wchar_t* Directory = Options.Directory.empty() ? nullptr : Options.Directory.c_str();

    PROCESS_INFORMATION Info{};
    bool Created = false;
    // ERROR_INTERNAL_ERROR means the new process died while the system was
    // still starting it (seen now and then on a loaded machine): that is no
    // missing program, so it is tried again. Every other failure is final.
    for (int Attempt = 0; !Created && Attempt < 3; ++Attempt) {
        if (Attempt > 0 && ::GetLastError() != ERROR_INTERNAL_ERROR)
            break;
        std::wstring WritableCommandLine = CommandLine;
        Created = ::CreateProcessW(Program, WritableCommandLine.data(), nullptr, nullptr, Redirect ? TRUE : FALSE,
                                   Flags, Environment.empty() ? nullptr : Environment.data(), Directory,
                                   &Startup.StartupInfo, &Info) != FALSE;
    }
    if (!Created)
        return Failed(Status,
                      ::GetLastError() == ERROR_DIRECTORY ? TProcessFailure::Directory : TProcessFailure::Start);
    Child.Process.reset(Info.hProcess);
    Child.Thread.reset(Info.hThread);
    Child.Input = std::move(InputPipe.Write);
    Child.Output = std::move(OutputReader);
    Child.Errors = std::move(ErrorReader);
    // The child's ends (InputPipe.Read, OutputEnd, ErrorEnd) close here.
    return true;
}
