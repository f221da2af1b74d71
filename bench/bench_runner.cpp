// The process runner capturing a child's standard output, against the same
// child writing the same bytes to NUL: the ratio is what capturing costs.
// A textbook reader (one anonymous pipe, blocking reads to end-of-file) on
// the same child shows how much of that is the platform's pipe itself.
#include "BenchUtil.h"
#include "base/uProcess.h"

#include <cstdio>
#include <cstdlib>

using namespace bench;

namespace {

const std::wstring& CommandLine()
{
    static const std::wstring Result = QuotedStr(FakeCtags()) + L" -f - --fields=K -n --format=2 source.c";
    return Result;
}

// A start that fails now and then on a loaded machine is retried, and
// reported, so that it cannot pass for a fast run.
int GFailedStarts = 0;

std::size_t RunWithRunner()
{
    for (;;) {
        TMemoryStream Output;
        std::uint32_t ExitCode = 0;
        if (RunProcess(CommandLine(), nullptr, &Output, nullptr, ExitCode, SW_HIDE, NORMAL_PRIORITY_CLASS) &&
            ExitCode == 0)
            return Output.Bytes().size();
        std::printf("  (runner: fakectags did not run: exit code %u, error %lu)\n", ExitCode, ::GetLastError());
        if (++GFailedStarts > 10)
            std::exit(1);
    }
}

std::size_t RunWithPlainReader()
{
    for (;;) {
        SECURITY_ATTRIBUTES Inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE Read = nullptr;
        HANDLE Write = nullptr;
        ::CreatePipe(&Read, &Write, &Inherit, 1 << 20);
        ::SetHandleInformation(Read, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW Startup{};
        Startup.cb = sizeof(Startup);
        Startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        Startup.hStdOutput = Write;
        Startup.hStdError = Write;
        PROCESS_INFORMATION Info{};
        std::wstring Line = CommandLine();
        const bool Started = ::CreateProcessW(nullptr, Line.data(), nullptr, nullptr, TRUE,
                                              CREATE_NEW_CONSOLE | CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS,
                                              nullptr, nullptr, &Startup, &Info);
        const DWORD Error = ::GetLastError();
        ::CloseHandle(Write);
        std::vector<std::uint8_t> Output;
        if (Started) {
            std::vector<std::uint8_t> Buffer(1 << 20);
            DWORD Done = 0;
            while (::ReadFile(Read, Buffer.data(), static_cast<DWORD>(Buffer.size()), &Done, nullptr) && Done > 0)
                Output.insert(Output.end(), Buffer.begin(), Buffer.begin() + Done);
            ::WaitForSingleObject(Info.hProcess, INFINITE);
            ::CloseHandle(Info.hProcess);
            ::CloseHandle(Info.hThread);
        }
        ::CloseHandle(Read);
        if (Started)
            return Output.size();
        std::printf("  (plain reader: fakectags did not start: error %lu)\n", Error);
        if (++GFailedStarts > 10)
            std::exit(1);
    }
}

} // namespace

int main()
{
    TScratch Dir;
    struct TCase {
        const char* Label;
        unsigned long Bytes;
        unsigned long Chunk;
        int Runs;
    };
    bool Met = true;
    std::printf("runner: fakectags writing tag lines in pieces of the given size, best of several runs;\n"
                "ratio = time with the output captured / time with the child writing to NUL\n");
    // 4 KiB is what a C runtime's buffered output writes at a time.
    const TCase Cases[] = {{"3 KB", 3000, 4096, 25},
                           {"300 KB", 300000, 4096, 15},
                           {"30 MB", 30000000, 4096, 4},
                           {"300 KB", 300000, 1 << 20, 15},
                           {"30 MB", 30000000, 1 << 20, 4}};
    for (const TCase& Case : Cases) {
        const std::string Volume = "chunk " + std::to_string(Case.Chunk) + "\ntagbytes " + std::to_string(Case.Bytes) +
                                   "\nexit 0\n";
        double Runner = 1e30;
        double Plain = 1e30;
        double Nul = 1e30;
        std::size_t Captured = 0;
        // Interleaved, so that all three see the same machine load. (The
        // script is not called nul.txt: that name is the NUL device.)
        for (int Run = 0; Run < Case.Runs; ++Run) {
            UseScript(Dir, L"discard.txt", "nul\n" + Volume);
            Nul = std::min(Nul, Best(1, [&] { RunWithRunner(); }));
            // Opening NUL takes time of its own: the captured run opens it too.
            UseScript(Dir, L"capture.txt", "nul\nstdout\n" + Volume);
            Runner = std::min(Runner, Best(1, [&] { Captured = RunWithRunner(); }));
            Plain = std::min(Plain, Best(1, [&] { RunWithPlainReader(); }));
        }
        const double Ratio = Runner / Nul;
        Met = Met && Ratio <= 1.10;
        std::printf("  %-6s in %7lu-byte writes: to NUL %.3f s; captured %zu bytes in %.3f s, ratio %.3f (%s); "
                    "plain blocking reader %.3f s, ratio %.3f; runner / plain reader %.3f\n",
                    Case.Label, Case.Chunk, Nul, Captured, Runner, Ratio, Ratio <= 1.10 ? "<= 1.10" : "over 1.10",
                    Plain, Plain / Nul, Runner / Plain);
    }
    std::printf("runner: ratio <= 1.10 %s\n", Met ? "in every case" : "NOT in every case");
    return 0;
}
