// The process runner capturing a child's standard output, against the same
// child writing the same bytes to NUL: the ratio is what capturing costs.
// A textbook reader (one anonymous pipe, blocking reads to end-of-file) on
// the same child shows what the platform's pipe costs, and the child given a
// plain file as its output by a textbook starter what writing a file costs
// the child itself: the runner's own share is its time against that one.
#include "BenchUtil.h"
#include "base/uProcess.h"

#include <cstdio>
#include <cstdlib>

using namespace bench;

namespace {

const std::wstring& CommandLine()
{
    static const std::wstring Result = QuotedStr(FakeCtags()) + L" -f - --fields=Ks -n --format=2 source.c";
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
        PROCESS_INFORMATION Info{};
        const bool Started = StartHidden(CommandLine(), nullptr, Write, Write, Info);
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
    std::printf("runner: fakectags writing tag lines in pieces of the given size, medians of runs taken in turn;\n"
                "ratio = time with the output captured / time with the child writing to NUL\n");
    // 4 KiB is what a C runtime's buffered output writes at a time.
    const TCase Cases[] = {{"3 KB", 3000, 4096, 15},
                           {"300 KB", 300000, 4096, 15},
                           {"30 MB", 30000000, 4096, 5},
                           {"300 KB", 300000, 1 << 20, 15},
                           {"30 MB", 30000000, 1 << 20, 5}};
    for (const TCase& Case : Cases) {
        const std::string Volume = "chunk " + std::to_string(Case.Chunk) + "\ntagbytes " + std::to_string(Case.Bytes) +
                                   "\nexit 0\n";
        std::vector<double> Runner, Plain, Nul, File;
        std::size_t Captured = 0;
        // Interleaved, so that all three see the same machine load. (The
        // script is not called nul.txt: that name is the NUL device.)
        for (int Run = 0; Run < Case.Runs; ++Run) {
            UseScript(Dir, L"discard.txt", "nul\n" + Volume);
            Nul.push_back(Best(1, [&] { RunWithRunner(); }));
            // Opening NUL takes time of its own: the captured run opens it too.
            UseScript(Dir, L"capture.txt", "nul\nstdout\n" + Volume);
            Runner.push_back(Best(1, [&] { Captured = RunWithRunner(); }));
            Plain.push_back(Best(1, [&] { RunWithPlainReader(); }));
            File.push_back(Best(1, [&] {
                if (!RunToFile(CommandLine(), Dir / L"out.txt"))
                    std::exit((std::printf("  (textbook file: fakectags failed)\n"), 1));
                toolsupport::ReadFileBytes(Dir / L"out.txt");
            }));
        }
        const double Ratio = Median(Runner) / Median(Nul);
        Met = Met && Ratio <= 1.10;
        std::printf("  %-6s in %7lu-byte writes: to NUL %.3f s; captured %zu bytes in %.3f s, ratio %.3f (%s); "
                    "plain pipe reader ratio %.3f; textbook file ratio %.3f, runner / textbook file %.3f\n",
                    Case.Label, Case.Chunk, Median(Nul), Captured, Median(Runner), Ratio,
                    Ratio <= 1.10 ? "<= 1.10" : "over 1.10", Median(Plain) / Median(Nul), Median(File) / Median(Nul),
                    Median(Runner) / Median(File));
    }
    std::printf("runner: ratio <= 1.10 %s\n", Met ? "in every case" : "NOT in every case");
    return 0;
}
