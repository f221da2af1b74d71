// ctags-bridge: lets a Windows program under wine use the machine's Linux
// ctags as if it were ctags.exe.
//
//   ctags-bridge.exe [ctags arguments]
//
// Windows paths among the arguments become Linux paths, the Linux ctags runs
// on them, and what it wrote comes back unchanged on this program's standard
// output and standard error, with its exit code as ours.
//
// Why the detour through files: a Linux program started from a Windows
// process under wine is forked and executed by wine itself; the caller gets
// no process handle to wait for, and wine's pipes are not Unix descriptors
// the Linux program could write to. So a small shell script runs ctags with
// its output sent to files in a scratch folder and, last of all, renames a
// file holding the exit code into place; we wait for that file to appear.
//
// The Linux program is "ctags" from the Linux PATH, or the one the
// environment variable CTAGS_BRIDGE_PROGRAM names (ctags-exuberant, say, for
// the other flavour).
//
// Exit codes of our own: 127 when no Linux ctags can be run (not under wine,
// no /bin/sh, no ctags in the Linux PATH), 1 for an input file that does not
// exist, 124 when ctags takes longer than the time limit.
#include "base/uStrings.h"
#include "base/uSystem.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int CannotRun = 127;
constexpr int TimedOut = 124;
// ctags on a single source file takes well under a second; the shell stops
// it at this limit, and we give up waiting a little later in case the shell
// itself never reports back.
constexpr DWORD TimeLimitSeconds = 60;
constexpr DWORD WaitLimitMs = (TimeLimitSeconds + 10) * 1000;

using TUnixName = char*(CDECL*)(const WCHAR*);
using TDosName = WCHAR*(CDECL*)(const char*);

TUnixName UnixNameOf = nullptr;
TDosName DosNameOf = nullptr;

std::string Narrow(const std::wstring& Text)
{
    return WideToUtf8(Text);
}

void WriteAll(HANDLE Handle, const std::string& Bytes)
{
    const char* Data = Bytes.data();
    size_t Left = Bytes.size();
    while (Left > 0) {
        DWORD Done = 0;
        const DWORD Piece = Left > (1u << 20) ? (1u << 20) : static_cast<DWORD>(Left);
        if (!::WriteFile(Handle, Data, Piece, &Done, nullptr) || Done == 0)
            return;
        Data += Done;
        Left -= Done;
    }
}

int Fail(int Code, const std::string& Message)
{
    WriteAll(::GetStdHandle(STD_ERROR_HANDLE), "ctags-bridge: " + Message + "\n");
    return Code;
}

bool Exists(const std::wstring& Path)
{
    return ::GetFileAttributesW(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The Linux name of a Windows path, or "" when wine cannot map it (its
// folder does not exist, say). The last part need not exist, so that an
// output file of -f can be named.
std::string UnixPath(const std::wstring& Path)
{
    char* Name = UnixNameOf(Path.c_str());
    if (!Name)
        return {};
    std::string Result(Name);
    ::HeapFree(::GetProcessHeap(), 0, Name);
    return Result;
}

// Options and plain words (-f, -, --fields=K, a bare "main.c") pass
// unchanged; only these are worth asking wine about.
bool LooksLikePath(const std::wstring& Text)
{
    const bool Drive = Text.size() >= 2 && Text[1] == L':' &&
                       ((Text[0] >= L'A' && Text[0] <= L'Z') || (Text[0] >= L'a' && Text[0] <= L'z'));
    return Drive || Text.find(L'\\') != std::wstring::npos;
}

bool IsOption(const std::wstring& Text)
{
    return Text.size() > 1 && Text[0] == L'-';
}

// ctags' short options whose value is the next argument.
bool TakesValue(const std::wstring& Option)
{
    return Option == L"-f" || Option == L"-o" || Option == L"-L" || Option == L"-I" || Option == L"-h";
}

std::string ShellQuoted(const std::string& Text)
{
    std::string Result = "'";
    for (const char C : Text)
        Result += C == '\'' ? std::string("'\\''") : std::string(1, C);
    return Result + "'";
}

// The arguments as the Linux ctags gets them, or a message when an input
// file does not exist: Universal Ctags only warns about that and exits with
// 0, and a caller would then take an empty list for the file's tags.
bool ConvertArguments(int Argc, wchar_t** Argv, std::vector<std::string>& Result, std::string& Error)
{
    for (int I = 1; I < Argc; ++I) {
        const std::wstring Arg = Argv[I];
        const bool IsValue = I > 1 && TakesValue(Argv[I - 1]);
        if (IsOption(Arg) && !IsValue) {
            // --options=C:\x\my.ctags and the like: only a value that exists
            // is converted, since a backslash may just as well be a regex's.
            const size_t Equals = Arg.find(L'=');
            const std::wstring Value = Equals == std::wstring::npos ? L"" : Arg.substr(Equals + 1);
            std::string Converted;
            if (LooksLikePath(Value) && Exists(Value))
                Converted = UnixPath(Value);
            Result.push_back(Converted.empty() ? Narrow(Arg) : Narrow(Arg.substr(0, Equals + 1)) + Converted);
            continue;
        }
        if (!LooksLikePath(Arg)) {
            Result.push_back(Narrow(Arg));
            continue;
        }
        if (!IsValue && !Exists(Arg)) {
            Error = "cannot open input file \"" + Narrow(Arg) + "\": no such file";
            return false;
        }
        const std::string Converted = UnixPath(Arg);
        Result.push_back(Converted.empty() ? Narrow(Arg) : Converted);
    }
    return true;
}

// A fresh folder for the script and ctags' output, beside nothing else.
std::wstring MakeWorkFolder()
{
    wchar_t Base[MAX_PATH + 1];
    if (!::GetTempPathW(MAX_PATH + 1, Base))
        return {};
    for (unsigned Attempt = 0; Attempt < 100; ++Attempt) {
        const std::wstring Path = std::wstring(Base) + L"ctags-bridge-" + std::to_wstring(::GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(Attempt);
        if (::CreateDirectoryW(Path.c_str(), nullptr))
            return Path;
    }
    return {};
}

void RemoveWorkFolder(const std::wstring& Folder)
{
    for (const wchar_t* Name : {L"run.sh", L"out", L"err", L"rc"})
        ::DeleteFileW((Folder + L"\\" + Name).c_str());
    ::RemoveDirectoryW(Folder.c_str());
}

// The Linux program to run: CTAGS_BRIDGE_PROGRAM, else ctags.
std::string Program()
{
    wchar_t Value[1024];
    const DWORD Length = ::GetEnvironmentVariableW(L"CTAGS_BRIDGE_PROGRAM", Value, 1024);
    if (Length == 0 || Length >= 1024)
        return "ctags";
    return Narrow(std::wstring(Value, Length));
}

std::string Script(const std::string& Work, const std::string& Directory, const std::vector<std::string>& Arguments)
{
    const std::string Ctags = ShellQuoted(Program());
    std::string Command = Ctags;
    for (const std::string& Arg : Arguments) {
        Command += ' ';
        Command += ShellQuoted(Arg);
    }
    const std::string W = ShellQuoted(Work);
    const std::string Limit = std::to_string(TimeLimitSeconds);
    const std::string NoCtags = std::to_string(CannotRun);
    // The shell inherits wine's own standard error, which may be a pipe that
    // a test runner waits on until every holder closes it: let go of it.
    std::string Text = "exec </dev/null >/dev/null 2>&1\n";
    if (!Directory.empty())
        Text += "cd " + ShellQuoted(Directory) + "\n";
    Text += "if command -v " + Ctags + " >/dev/null 2>&1; then\n";
    Text += "    limit=\n";
    Text += "    command -v timeout >/dev/null 2>&1 && limit='timeout " + Limit + "'\n";
    Text += "    $limit " + Command + " >" + W + "/out 2>" + W + "/err\n";
    Text += "    rc=$?\n";
    Text += "else\n";
    Text += "    echo \"ctags-bridge: no " + Ctags +
            " in the Linux PATH ($PATH); install the universal-ctags package\" >";
    Text += W + "/err\n";
    Text += "    rc=" + NoCtags + "\n";
    Text += "fi\n";
    // Shell built-ins only from here on: with a PATH that lacks ctags, other
    // programs may be missing too, and then we would wait in vain.
    Text += "echo $rc >" + W + "/rc\n";
    return Text;
}

bool StartShell(const std::string& ScriptPath)
{
    WCHAR* Shell = DosNameOf("/bin/sh");
    if (!Shell)
        return false;
    std::wstring CommandLine = L"/bin/sh \"";
    const int Size = ::MultiByteToWideChar(CP_UTF8, 0, ScriptPath.data(), static_cast<int>(ScriptPath.size()), nullptr,
                                           0);
    std::wstring Wide(static_cast<size_t>(Size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, ScriptPath.data(), static_cast<int>(ScriptPath.size()), Wide.data(), Size);
    CommandLine += Wide + L"\"";
    STARTUPINFOW Startup{};
    Startup.cb = sizeof(Startup);
    PROCESS_INFORMATION Info{};
    // Detached: wine then gives the Linux program a session of its own and
    // none of our console.
    const BOOL Started = ::CreateProcessW(Shell, CommandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                                          nullptr, &Startup, &Info);
    ::HeapFree(::GetProcessHeap(), 0, Shell);
    // Under wine a Linux program comes without handles; close any anyway.
    if (Info.hThread)
        ::CloseHandle(Info.hThread);
    if (Info.hProcess)
        ::CloseHandle(Info.hProcess);
    return Started != FALSE;
}

// The exit code, once the shell has written it with its line break; ""
// when the time runs out. Polls rather than watching the folder: a look at a
// file is a plain stat under wine, and the first looks come within
// milliseconds.
std::string WaitForExitCode(const std::wstring& Path)
{
    const ULONGLONG Deadline = ::GetTickCount64() + WaitLimitMs;
    DWORD Pause = 1;
    for (;;) {
        std::string Code;
        // The file appears empty first; the code and its line break come in
        // one write.
        if (Exists(Path) && ReadWholeFile(Path, Code) && !Code.empty() && Code.back() == '\n')
            return Code;
        if (::GetTickCount64() > Deadline)
            return {};
        ::Sleep(Pause);
        if (Pause < 20)
            Pause *= 2;
    }
}

int Run(int Argc, wchar_t** Argv)
{
    const HMODULE Kernel = ::GetModuleHandleW(L"kernel32.dll");
    UnixNameOf = reinterpret_cast<TUnixName>(::GetProcAddress(Kernel, "wine_get_unix_file_name"));
    DosNameOf = reinterpret_cast<TDosName>(::GetProcAddress(Kernel, "wine_get_dos_file_name"));
    if (!UnixNameOf || !DosNameOf)
        return Fail(CannotRun, "not running under wine, so there is no Linux ctags to run; use a Windows ctags.exe");

    std::vector<std::string> Arguments;
    std::string Error;
    if (!ConvertArguments(Argc, Argv, Arguments, Error))
        return Fail(1, Error);

    const std::wstring Work = MakeWorkFolder();
    const std::string UnixWork = Work.empty() ? std::string() : UnixPath(Work);
    if (UnixWork.empty())
        return Fail(CannotRun, "cannot make a scratch folder in the temporary folder");
    wchar_t Current[MAX_PATH * 2];
    const DWORD CurrentLength = ::GetCurrentDirectoryW(MAX_PATH * 2, Current);
    const std::string Directory = CurrentLength ? UnixPath(std::wstring(Current, CurrentLength)) : std::string();

    std::string Bytes = Script(UnixWork, Directory, Arguments);
    HANDLE H = ::CreateFileW((Work + L"\\run.sh").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (H == INVALID_HANDLE_VALUE) {
        RemoveWorkFolder(Work);
        return Fail(CannotRun, "cannot write the script in the scratch folder");
    }
    DWORD Done = 0;
    ::WriteFile(H, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done, nullptr);
    ::CloseHandle(H);

    if (!StartShell(UnixWork + "/run.sh")) {
        RemoveWorkFolder(Work);
        return Fail(CannotRun, "cannot start the Linux shell /bin/sh");
    }
    const std::string Code = WaitForExitCode(Work + L"\\rc");
    if (Code.empty()) {
        // The shell may still write later; its files are left to it.
        return Fail(TimedOut,
                    "the Linux shell did not report back within " + std::to_string(WaitLimitMs / 1000) + " seconds");
    }

    std::string Output, Errors;
    ReadWholeFile(Work + L"\\out", Output);
    ReadWholeFile(Work + L"\\err", Errors);
    RemoveWorkFolder(Work);
    WriteAll(::GetStdHandle(STD_OUTPUT_HANDLE), Output);
    WriteAll(::GetStdHandle(STD_ERROR_HANDLE), Errors);
    if (TimedOut == std::atoi(Code.c_str()) && Errors.empty())
        return Fail(TimedOut, "the Linux ctags did not finish within " + std::to_string(TimeLimitSeconds) + " seconds");
    return std::atoi(Code.c_str());
}

} // namespace

int main()
{
    int Argc = 0;
    wchar_t** Argv = ::CommandLineToArgvW(::GetCommandLineW(), &Argc);
    const int Code = Argv ? Run(Argc, Argv) : Fail(CannotRun, "cannot read the command line");
    ::ExitProcess(static_cast<UINT>(Code));
}
