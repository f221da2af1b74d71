// A stand-in for ctags that tests and benchmarks steer.
//
// Without a script it acts as a tiny ctags: it checks the command line
// (-f - --fields=KsZ -n --format=2 -G FILE, as Universal Ctags takes
// it, or -f - --fields=Ks -n --format=2 FILE as Exuberant Ctags
// does), reads FILE and writes extended-format tags for lines that look like
// C definitions, in the file's order (the plugin sorts them itself).
// Which ctags it is comes from FAKECTAGS_FLAVOUR ("exuberant"; Universal
// otherwise); it answers --version as that one does, script or not. Asked
// for a project's tags file (-R --format=2 --sort=yes --excmd=combine
// --fields=+KZ -f FILE [FOLDER], or Exuberant's -R --format=2 --sort=yes
// --excmd=pattern --fields=+nK -f FILE [FOLDER]), it tags the .c, .h, .cpp
// and .py files below FOLDER or its current folder into FILE, sorted, as
// that ctags writes a tags file. Asked for the same lines of a few files on
// standard output (--format=2 --sort=no --excmd=combine --fields=+KZ -f -
// FILE..., or Exuberant's --excmd=pattern --fields=+nK), it writes them in
// the order of the files, each file named as given.
//
// With FAKECTAGS_SCRIPT naming a script file, it runs the script instead, one
// directive a line, in order:
//   out TEXT        write TEXT to standard output (escapes \t \r \n \\ \xHH)
//   err TEXT        the same to standard error
//   tags N          N generated tag lines on standard output
//   tagsfile N      N generated tag lines into the file after -f, created
//                   anew and flushed
//   tagbytes N      generated tag lines until N bytes are written
//   chunk N         write in pieces of N bytes from here on (default 4096)
//   nul             standard output goes to NUL from here on
//   stdout          standard output goes to standard output again
//   stdin           copy standard input to standard output
//   args [err]      write the command line, then a line break (to standard
//                   error with "err")
//   cwd [err]       the same with the current directory
//   handle HEX      write "valid" or "invalid" for that handle value
//   spawn SCRIPT    start another fakectags on SCRIPT that shares the output
//                   pipes, without waiting for it
//   sleep MS        flush, then wait
//   waitwhile PATH  flush, then wait while PATH exists (30 seconds at most)
//   keep PATH       copy the source file (the last argument) to PATH
//   pid PATH        write this process's id to PATH (a sign that it runs)
//   name PATH       write the source file's path to PATH
//   ctags           tag the source file as without a script
//   flood out|err   write to standard output or error as fast as it can,
//                   without end
//   tmpfile PATH    create a file in the temporary folder (%TMP%), as
//                   ctags does for its own work, and write its path to PATH
//   exit CODE       flush, then exit with CODE (default at the end: 0)
//   crash           die at once, unflushed, as a crash ends a program
// Text is written as UTF-8.
#include "base/uStrings.h"
#include "base/uSystem.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& Text)
{
    return WideToUtf8(Text);
}

std::wstring Widen(const std::string& Text)
{
    return CodePageToWide(CP_UTF8, Text);
}

// Collects bytes and hands them to the handle in pieces of Chunk bytes, the
// way a C runtime's buffered stream would.
class TOutput {
public:
    explicit TOutput(HANDLE Handle) : FHandle(Handle) {}
    void SetHandle(HANDLE Handle)
    {
        Flush();
        FHandle = Handle;
    }
    void SetChunk(size_t Chunk)
    {
        Flush();
        FChunk = Chunk ? Chunk : 1;
    }
    void Write(const std::string& Bytes)
    {
        FPending += Bytes;
        while (FPending.size() >= FChunk) {
            WriteRaw(FPending.data(), FChunk);
            FPending.erase(0, FChunk);
        }
    }
    void Flush()
    {
        if (!FPending.empty())
            WriteRaw(FPending.data(), FPending.size());
        FPending.clear();
    }

private:
    void WriteRaw(const char* Data, size_t Size)
    {
        while (Size > 0) {
            DWORD Done = 0;
            if (!::WriteFile(FHandle, Data, static_cast<DWORD>(Size), &Done, nullptr) || Done == 0)
                return;
            Data += Done;
            Size -= Done;
        }
    }

    HANDLE FHandle;
    size_t FChunk = 4096;
    std::string FPending;
};

std::string Unescape(const std::string& Text)
{
    std::string Result;
    for (size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] != '\\' || I + 1 == Text.size()) {
            Result += Text[I];
            continue;
        }
        const char C = Text[++I];
        if (C == 't')
            Result += '\t';
        else if (C == 'r')
            Result += '\r';
        else if (C == 'n')
            Result += '\n';
        else if (C == 'x' && I + 2 < Text.size()) {
            Result += static_cast<char>(std::strtoul(Text.substr(I + 1, 2).c_str(), nullptr, 16));
            I += 2;
        } else
            Result += C;
    }
    return Result;
}

// Deterministic, varied names, so that sorting the result is real work.
std::string TagLine(unsigned long Index, const std::string& File)
{
    static const char* const Verbs[] = {"Get", "set", "Parse", "read", "Write", "load", "Init", "free"};
    static const char* const Nouns[] = {"Item", "buffer", "Line", "tag", "Name", "value", "Node", "list"};
    static const char* const Kinds[] = {"function", "variable", "class", "macro", "member"};
    const unsigned long Mix = Index * 2654435761ul;
    return std::string(Verbs[Mix % 8]) + Nouns[(Mix >> 8) % 8] + std::to_string(Index) + "\t" + File + "\t" +
           std::to_string(Index * 7 + 1) + ";\"\t" + Kinds[Index % 5] + "\n";
}

bool IsIdentChar(char C)
{
    // Bytes of UTF-8 sequences count as letters, so names in any script are tags.
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') || C == '_' ||
           static_cast<unsigned char>(C) >= 0x80;
}

std::string Word(const std::string& Line, size_t From)
{
    size_t End = From;
    while (End < Line.size() && IsIdentChar(Line[End]))
        ++End;
    return Line.substr(From, End - From);
}

bool Exuberant()
{
    wchar_t Flavour[32];
    const DWORD Length = ::GetEnvironmentVariableW(L"FAKECTAGS_FLAVOUR", Flavour, 32);
    return Length > 0 && Length < 32 && std::wstring(Flavour) == L"exuberant";
}

// The scope field as the flavour writes it.
std::string ScopeOf(const std::string& Kind, const std::string& Name)
{
    return (Exuberant() ? "" : "scope:") + Kind + ":" + Name;
}

// The tiny tagger: #define NAME, struct/class/enum NAME, a definition
// "type name(" at the start of a line that does not end in ';' (with the
// scope of "type Class::name("), and Python's "def name(" (a member of the
// class above it when indented).
struct TTag {
    std::string Name, Kind, Scope, Text;
    unsigned long Line;
};

std::vector<TTag> TagText(const std::string& Text)
{
    std::vector<TTag> Tags;
    size_t Start = 0;
    std::string PythonClass;
    for (unsigned long Number = 1; Start < Text.size(); ++Number) {
        size_t End = Text.find('\n', Start);
        if (End == std::string::npos)
            End = Text.size();
        std::string Line = Text.substr(Start, End - Start);
        Start = End + 1;
        while (!Line.empty() && (Line.back() == '\r' || Line.back() == ' '))
            Line.pop_back();
        std::string Name, Kind, Scope;
        const size_t Indent = Line.find_first_not_of(' ');
        if (Indent == 0)
            PythonClass.clear(); // a class sets it again below
        if (Indent != std::string::npos && Line.compare(Indent, 4, "def ") == 0) {
            Name = Word(Line, Indent + 4);
            Kind = PythonClass.empty() ? "function" : "member";
            if (!PythonClass.empty())
                Scope = ScopeOf("class", PythonClass);
        }
        for (const char* Keyword : {"struct ", "class ", "enum "}) {
            if (Line.rfind(Keyword, 0) == 0) {
                Name = Word(Line, std::string(Keyword).size());
                Kind = std::string(Keyword, std::string(Keyword).size() - 1);
                if (Line.back() == ':')
                    PythonClass = Name;
            }
        }
        if (Line.rfind("#define ", 0) == 0) {
            Name = Word(Line, 8);
            Kind = "macro";
        }
        const size_t Paren = Line.find('(');
        if (Kind.empty() && !Line.empty() && IsIdentChar(Line[0]) && Paren != std::string::npos && Line.back() != ';') {
            size_t NameEnd = Paren;
            while (NameEnd > 0 && Line[NameEnd - 1] == ' ')
                --NameEnd;
            size_t NameStart = NameEnd;
            while (NameStart > 0 && IsIdentChar(Line[NameStart - 1]))
                --NameStart;
            if (NameStart > 0) {
                Name = Line.substr(NameStart, NameEnd - NameStart);
                Kind = "function";
                size_t ScopeStart = NameStart;
                if (ScopeStart >= 2 && Line.compare(ScopeStart - 2, 2, "::") == 0) {
                    ScopeStart -= 2;
                    while (ScopeStart > 0 && (IsIdentChar(Line[ScopeStart - 1]) || Line[ScopeStart - 1] == ':'))
                        --ScopeStart;
                    Scope = ScopeOf("class", Line.substr(ScopeStart, NameStart - 2 - ScopeStart));
                }
            }
        }
        if (!Name.empty())
            Tags.push_back({Name, Kind, Scope, Line, Number});
    }
    return Tags;
}

void TagSource(const std::string& Text, const std::string& File, TOutput& Out)
{
    for (const TTag& Tag : TagText(Text))
        Out.Write(Tag.Name + "\t" + File + "\t" + std::to_string(Tag.Line) + ";\"\t" + Tag.Kind +
                  (Tag.Scope.empty() ? "" : "\t" + Tag.Scope) + "\n");
}

bool ReadText(const std::wstring& Path, std::string& Text)
{
    HANDLE H = ::CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (H == INVALID_HANDLE_VALUE)
        return false;
    char Buffer[65536];
    DWORD Done = 0;
    while (::ReadFile(H, Buffer, sizeof(Buffer), &Done, nullptr) && Done > 0)
        Text.append(Buffer, Done);
    ::CloseHandle(H);
    if (Text.rfind("\xEF\xBB\xBF", 0) == 0)
        Text.erase(0, 3);
    return true;
}

// The source files below Folder (Shown is how their names start in the
// tags), in no particular order.
void FindSources(const std::wstring& Folder, const std::string& Shown,
                 std::vector<std::pair<std::wstring, std::string>>& Files)
{
    WIN32_FIND_DATAW Data;
    HANDLE Find = ::FindFirstFileW((Folder + L"\\*").c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring Name = Data.cFileName;
        if (Name == L"." || Name == L"..")
            continue;
        const std::string Path = Shown + Narrow(Name);
        if (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            FindSources(Folder + L"\\" + Name, Path + "/", Files);
            continue;
        }
        const size_t Dot = Name.rfind(L'.');
        const std::wstring Extension = Dot == std::wstring::npos ? L"" : Name.substr(Dot);
        for (const wchar_t* Known : {L".c", L".h", L".cpp", L".py"})
            if (Extension == Known)
                Files.emplace_back(Folder + L"\\" + Name, Path);
    } while (::FindNextFileW(Find, &Data));
    ::FindClose(Find);
}

// A source line as a tags file's search pattern.
std::string PatternOf(const std::string& Text)
{
    std::string Result = "/^";
    for (const char C : Text) {
        if (C == '\\' || C == '/')
            Result += '\\';
        Result += C;
    }
    return Result + "$/";
}

bool WriteFileAnew(const std::wstring& Path, const std::string& Bytes)
{
    HANDLE H = ::CreateFileW(Path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (H == INVALID_HANDLE_VALUE)
        return false;
    TOutput File(H);
    File.Write(Bytes);
    File.Flush();
    ::CloseHandle(H);
    return true;
}

// The value after -f, or "".
std::wstring TagsFileArgument(int Argc, wchar_t** Argv)
{
    for (int I = 1; I + 1 < Argc; ++I)
        if (std::wcscmp(Argv[I], L"-f") == 0)
            return std::wstring(Argv[I + 1]);
    return std::wstring();
}

// One line of a project's tags file, as the flavour writes it.
std::string ProjectLine(const TTag& Tag, const std::string& Shown, bool Old)
{
    std::string Line = Tag.Name + "\t" + Shown + "\t";
    if (Old)
        Line += PatternOf(Tag.Text) + ";\"\t" + Tag.Kind + "\tline:" + std::to_string(Tag.Line);
    else
        Line += std::to_string(Tag.Line) + ";" + PatternOf(Tag.Text) + ";\"\t" + Tag.Kind;
    return Line + (Tag.Scope.empty() ? "" : "\t" + Tag.Scope) + "\n";
}

// The lines of a few files of a project, on standard output.
int RunFiles(int Argc, wchar_t** Argv, TOutput& Out, TOutput& Err)
{
    static const std::vector<std::wstring> Universal = {L"--format=2",   L"--sort=no", L"--excmd=combine",
                                                        L"--fields=+KZ", L"-f",        L"-"};
    static const std::vector<std::wstring> Older = {L"--format=2",   L"--sort=no", L"--excmd=pattern",
                                                    L"--fields=+nK", L"-f",        L"-"};
    const bool Old = Exuberant();
    const std::vector<std::wstring>& Expected = Old ? Older : Universal;
    const int Fixed = static_cast<int>(Expected.size()) + 1;
    bool Matches = Argc > Fixed;
    for (size_t I = 0; Matches && I < Expected.size(); ++I)
        Matches = Argv[I + 1] == Expected[I];
    if (!Matches) {
        Err.Write("ctags: unexpected options: " + Narrow(::GetCommandLineW()) + "\n");
        return 1;
    }
    for (int I = Fixed; I < Argc; ++I) {
        std::string Text;
        if (!ReadText(Argv[I], Text)) {
            Err.Write("ctags: cannot open input file \"" + Narrow(Argv[I]) + "\"\n");
            return 1;
        }
        for (const TTag& Tag : TagText(Text))
            Out.Write(ProjectLine(Tag, Narrow(Argv[I]), Old));
    }
    return 0;
}

// A project's tags file, as the flavour writes one with these options.
int RunRecursive(int Argc, wchar_t** Argv, TOutput& Err)
{
    static const std::vector<std::wstring> Universal = {
        L"-R", L"--format=2", L"--sort=yes", L"--excmd=combine", L"--fields=+KZ", L"-f"};
    static const std::vector<std::wstring> Older = {L"-R",           L"--format=2", L"--sort=yes", L"--excmd=pattern",
                                                    L"--fields=+nK", L"-f"};
    const bool Old = Exuberant();
    const std::vector<std::wstring>& Expected = Old ? Older : Universal;
    const int Fixed = static_cast<int>(Expected.size()) + 2;
    bool Matches = Argc == Fixed || Argc == Fixed + 1;
    for (size_t I = 0; Matches && I < Expected.size(); ++I)
        Matches = Argv[I + 1] == Expected[I];
    if (!Matches) {
        Err.Write("ctags: unexpected options: " + Narrow(::GetCommandLineW()) + "\n");
        return 1;
    }
    const std::wstring Output = Argv[Fixed - 1];
    const std::wstring Folder = Argc > Fixed ? std::wstring(Argv[Fixed]) : std::wstring(L".");
    std::vector<std::pair<std::wstring, std::string>> Files;
    FindSources(Folder, Argc > Fixed ? Narrow(Folder) + "/" : std::string(), Files);
    std::vector<std::string> Lines;
    for (const auto& [Path, Shown] : Files) {
        std::string Text;
        if (!ReadText(Path, Text))
            continue;
        for (const TTag& Tag : TagText(Text))
            Lines.push_back(ProjectLine(Tag, Shown, Old));
    }
    std::sort(Lines.begin(), Lines.end());
    std::string Bytes = "!_TAG_FILE_FORMAT\t2\t/extended format/\n!_TAG_FILE_SORTED\t1\t/0=unsorted, 1=sorted/\n";
    Bytes += Old ? "!_TAG_PROGRAM_NAME\tExuberant Ctags\t//\n" : "!_TAG_PROGRAM_NAME\tUniversal Ctags\t/fake/\n";
    for (const std::string& Line : Lines)
        Bytes += Line;
    if (!WriteFileAnew(Output, Bytes)) {
        Err.Write("ctags: cannot open tag file \"" + Narrow(Output) + "\"\n");
        return 1;
    }
    return 0;
}

int RunAsCtags(int Argc, wchar_t** Argv, TOutput& Out, TOutput& Err)
{
    if (Argc > 1 && std::wcscmp(Argv[1], L"-R") == 0)
        return RunRecursive(Argc, Argv, Err);
    if (Argc > 1 && std::wcscmp(Argv[1], L"--format=2") == 0)
        return RunFiles(Argc, Argv, Out, Err);
    static const std::vector<std::wstring> Universal = {L"-f", L"-", L"--fields=KsZ", L"-n", L"--format=2", L"-G"};
    static const std::vector<std::wstring> Older = {L"-f", L"-", L"--fields=Ks", L"-n", L"--format=2"};
    const std::vector<std::wstring>& Expected = Exuberant() ? Older : Universal;
    if (Argc != static_cast<int>(Expected.size()) + 2) {
        std::string Usage;
        for (const std::wstring& Arg : Expected)
            Usage += Narrow(Arg) + " ";
        Err.Write("ctags: expected " + Usage + "FILE\n");
        return 1;
    }
    for (size_t I = 0; I < Expected.size(); ++I) {
        if (Argv[I + 1] != Expected[I]) {
            Err.Write("ctags: Unknown option: " + Narrow(Argv[I + 1]) + "\n");
            return 1;
        }
    }
    const std::wstring File = Argv[Argc - 1];
    std::string Text;
    if (!ReadText(File, Text)) {
        Err.Write("ctags: cannot open source file \"" + Narrow(File) + "\"\n");
        return 1;
    }
    TagSource(Text, Narrow(File), Out);
    return 0;
}

int RunScript(const std::wstring& ScriptName, int Argc, wchar_t** Argv, TOutput& Out, TOutput& Err)
{
    HANDLE H = ::CreateFileW(ScriptName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (H == INVALID_HANDLE_VALUE) {
        Err.Write("fakectags: cannot open script\n");
        return 2;
    }
    std::string Script;
    char Buffer[4096];
    DWORD Done = 0;
    while (::ReadFile(H, Buffer, sizeof(Buffer), &Done, nullptr) && Done > 0)
        Script.append(Buffer, Done);
    ::CloseHandle(H);
    const std::string File = Argc > 1 ? Narrow(Argv[Argc - 1]) : "source.c";

    size_t Start = 0;
    while (Start < Script.size()) {
        size_t End = Script.find('\n', Start);
        if (End == std::string::npos)
            End = Script.size();
        std::string Line = Script.substr(Start, End - Start);
        Start = End + 1;
        if (!Line.empty() && Line.back() == '\r')
            Line.pop_back();
        const size_t Space = Line.find(' ');
        const std::string Verb = Line.substr(0, Space);
        const std::string Arg = Space == std::string::npos ? "" : Line.substr(Space + 1);
        const unsigned long Number = std::strtoul(Arg.c_str(), nullptr, 0);
        if (Verb == "out") {
            Out.Write(Unescape(Arg));
        } else if (Verb == "err") {
            Err.Write(Unescape(Arg));
        } else if (Verb == "tags") {
            for (unsigned long I = 0; I < Number; ++I)
                Out.Write(TagLine(I, File));
        } else if (Verb == "tagsfile") {
            std::string Lines;
            for (unsigned long I = 0; I < Number; ++I)
                Lines += TagLine(I, File);
            WriteFileAnew(TagsFileArgument(Argc, Argv), Lines);
        } else if (Verb == "tagbytes") {
            unsigned long Written = 0;
            for (unsigned long I = 0; Written < Number; ++I) {
                const std::string Tag = TagLine(I, File);
                Out.Write(Tag);
                Written += static_cast<unsigned long>(Tag.size());
            }
        } else if (Verb == "chunk") {
            Out.SetChunk(Number);
            Err.SetChunk(Number);
        } else if (Verb == "nul") {
            Out.SetHandle(::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
        } else if (Verb == "stdout") {
            Out.SetHandle(::GetStdHandle(STD_OUTPUT_HANDLE));
        } else if (Verb == "stdin") {
            while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), Buffer, sizeof(Buffer), &Done, nullptr) && Done > 0)
                Out.Write(std::string(Buffer, Done));
        } else if (Verb == "args") {
            (Arg == "err" ? Err : Out).Write(Narrow(::GetCommandLineW()) + "\n");
        } else if (Verb == "cwd") {
            wchar_t Dir[MAX_PATH * 2];
            ::GetCurrentDirectoryW(MAX_PATH * 2, Dir);
            (Arg == "err" ? Err : Out).Write(Narrow(Dir) + "\n");
        } else if (Verb == "handle") {
            DWORD Flags = 0;
            const auto Value = reinterpret_cast<HANDLE>(
                static_cast<uintptr_t>(std::strtoull(Arg.c_str(), nullptr, 16)));
            Out.Write(::GetHandleInformation(Value, &Flags) ? "valid\n" : "invalid\n");
        } else if (Verb == "spawn") {
            Out.Flush();
            Err.Flush();
            wchar_t Self[MAX_PATH];
            ::GetModuleFileNameW(nullptr, Self, MAX_PATH);
            ::SetEnvironmentVariableW(L"FAKECTAGS_SCRIPT", Widen(Arg).c_str());
            std::wstring CommandLine = L"\"" + std::wstring(Self) + L"\"";
            STARTUPINFOW Startup{};
            Startup.cb = sizeof(Startup);
            Startup.dwFlags = STARTF_USESTDHANDLES;
            Startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
            Startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
            Startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
            PROCESS_INFORMATION Info{};
            if (::CreateProcessW(nullptr, CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Startup,
                                 &Info)) {
                ::CloseHandle(Info.hThread);
                ::CloseHandle(Info.hProcess);
            }
        } else if (Verb == "sleep") {
            Out.Flush();
            Err.Flush();
            ::Sleep(Number);
        } else if (Verb == "waitwhile") {
            Out.Flush();
            Err.Flush();
            const std::wstring Path = Widen(Arg);
            for (int I = 0; I < 3000 && ::GetFileAttributesW(Path.c_str()) != INVALID_FILE_ATTRIBUTES; ++I)
                ::Sleep(10);
        } else if (Verb == "pid") {
            WriteWholeFile(Widen(Arg), std::to_string(::GetCurrentProcessId()));
        } else if (Verb == "keep") {
            if (Argc > 1)
                ::CopyFileW(Argv[Argc - 1], Widen(Arg).c_str(), FALSE);
        } else if (Verb == "name") {
            const std::string Name = Argc > 1 ? Narrow(Argv[Argc - 1]) : "";
            HANDLE Named = ::CreateFileW(Widen(Arg).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (Named != INVALID_HANDLE_VALUE) {
                TOutput File(Named);
                File.Write(Name);
                File.Flush();
                ::CloseHandle(Named);
            }
        } else if (Verb == "ctags") {
            const int Code = RunAsCtags(Argc, Argv, Out, Err);
            if (Code != 0)
                return Code;
        } else if (Verb == "flood") {
            Out.Flush();
            Err.Flush();
            const HANDLE Target = ::GetStdHandle(Arg == "err" ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
            const std::string Block = [&] {
                std::string Tags;
                for (unsigned long I = 0; Tags.size() < (1u << 20); ++I)
                    Tags += TagLine(I, File);
                return Tags;
            }();
            DWORD Written = 0;
            while (::WriteFile(Target, Block.data(), static_cast<DWORD>(Block.size()), &Written, nullptr)) {
            }
            return 3;
        } else if (Verb == "tmpfile") {
            wchar_t Folder[MAX_PATH + 1];
            wchar_t Path[MAX_PATH + 1];
            if (::GetTempPathW(MAX_PATH + 1, Folder) && ::GetTempFileNameW(Folder, L"tag", 0, Path))
                WriteWholeFile(Widen(Arg), Narrow(Path));
        } else if (Verb == "crash") {
            ::TerminateProcess(::GetCurrentProcess(), 0xC0000005);
        } else if (Verb == "exit") {
            Out.Flush();
            Err.Flush();
            return static_cast<int>(Number);
        }
    }
    return 0;
}

} // namespace

int main()
{
    int Argc = 0;
    wchar_t** Argv = ::CommandLineToArgvW(::GetCommandLineW(), &Argc);
    TOutput Out(::GetStdHandle(STD_OUTPUT_HANDLE));
    TOutput Err(::GetStdHandle(STD_ERROR_HANDLE));
    // Asked before every run, as a script cannot know it will be.
    if (Argc == 2 && std::wstring(Argv[1]) == L"--version") {
        Out.Write(Exuberant() ? "Exuberant Ctags 5.8, Copyright (C) 1996-2009 Darren Hiebert\n"
                              : "Universal Ctags 6.2.1(fake), Copyright (C) 2015 Universal Ctags Team\n"
                                "Universal Ctags is derived from Exuberant Ctags.\n"
                                "Exuberant Ctags 5.8, Copyright (C) 1996-2009 Darren Hiebert\n");
        Out.Flush();
        ::ExitProcess(0);
    }
    wchar_t Script[MAX_PATH * 2];
    const DWORD Length = ::GetEnvironmentVariableW(L"FAKECTAGS_SCRIPT", Script, MAX_PATH * 2);
    const int Code = Length > 0 && Length < MAX_PATH * 2 ? RunScript(Script, Argc, Argv, Out, Err)
                                                         : RunAsCtags(Argc, Argv, Out, Err);
    Out.Flush();
    Err.Flush();
    ::ExitProcess(static_cast<UINT>(Code));
}
