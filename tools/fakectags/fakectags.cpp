// A stand-in for ctags that tests and benchmarks steer.
//
// Without a script it acts as a tiny ctags: it checks the command line
// (-f - --fields=Ks -n --format=2 FILE), reads FILE and writes extended-format
// tags for lines that look like C definitions.
//
// With FAKECTAGS_SCRIPT naming a script file, it runs the script instead, one
// directive a line, in order:
//   out TEXT        write TEXT to standard output (escapes \t \r \n \\ \xHH)
//   err TEXT        the same to standard error
//   tags N          N generated tag lines on standard output
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
//   exit CODE       flush, then exit with CODE (default at the end: 0)
//   crash           die at once, unflushed, as a crash ends a program
// Text is written as UTF-8.
#include "base/uStrings.h"
#include "base/uSystem.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
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

// The tiny tagger: #define NAME, struct/class/enum NAME, a definition
// "type name(" at the start of a line that does not end in ';' (with the
// scope of "type Class::name("), and Python's "def name(" (a member of the
// class above it when indented).
void TagSource(const std::string& Text, const std::string& File, TOutput& Out)
{
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
                Scope = "class:" + PythonClass;
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
                    Scope = "class:" + Line.substr(ScopeStart, NameStart - 2 - ScopeStart);
                }
            }
        }
        if (!Name.empty())
            Out.Write(Name + "\t" + File + "\t" + std::to_string(Number) + ";\"\t" + Kind +
                      (Scope.empty() ? "" : "\t" + Scope) + "\n");
    }
}

int RunAsCtags(int Argc, wchar_t** Argv, TOutput& Out, TOutput& Err)
{
    static const wchar_t* const Expected[] = {L"-f", L"-", L"--fields=Ks", L"-n", L"--format=2"};
    if (Argc != 7) {
        Err.Write("ctags: expected -f - --fields=Ks -n --format=2 FILE\n");
        return 1;
    }
    for (int I = 0; I < 5; ++I) {
        if (std::wstring(Argv[I + 1]) != Expected[I]) {
            Err.Write("ctags: Unknown option: " + Narrow(Argv[I + 1]) + "\n");
            return 1;
        }
    }
    const std::wstring File = Argv[6];
    HANDLE H = ::CreateFileW(File.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (H == INVALID_HANDLE_VALUE) {
        Err.Write("ctags: cannot open source file \"" + Narrow(File) + "\"\n");
        return 1;
    }
    std::string Text;
    char Buffer[65536];
    DWORD Done = 0;
    while (::ReadFile(H, Buffer, sizeof(Buffer), &Done, nullptr) && Done > 0)
        Text.append(Buffer, Done);
    ::CloseHandle(H);
    if (Text.rfind("\xEF\xBB\xBF", 0) == 0)
        Text.erase(0, 3);
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
    wchar_t Script[MAX_PATH * 2];
    const DWORD Length = ::GetEnvironmentVariableW(L"FAKECTAGS_SCRIPT", Script, MAX_PATH * 2);
    const int Code = Length > 0 && Length < MAX_PATH * 2 ? RunScript(Script, Argc, Argv, Out, Err)
                                                         : RunAsCtags(Argc, Argv, Out, Err);
    Out.Flush();
    Err.Flush();
    ::ExitProcess(static_cast<UINT>(Code));
}
