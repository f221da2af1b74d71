// TCtags.LoadFromFile against the runner alone on the same output (what
// decoding, parsing and sorting add), and a load of 100,000 tags.
#include "BenchUtil.h"

#include "uCtags.h"

#include <cstdio>

using namespace bench;

namespace {

int Run()
{
    TScratch Dir;
    const std::wstring Source = Dir / L"source.c";
    WriteFileBytes(Source, "int main(void);\n");
    TCtags Tags;
    Tags.SetExecutableName(FakeCtags());
    const std::wstring CommandLine =
        QuotedStr(FakeCtags()) + std::wstring(TCtags::Arguments) + QuotedStr(Source);

    // ctags repeats the full path of the file on every line, so 5,000 tags
    // come to about 300 KB.
    UseScript(Dir, L"5000.txt", "tags 5000\nexit 0\n");
    std::size_t Bytes = 0;
    double Runner = 1e30;
    double Load = 1e30;
    for (int Run = 0; Run < 20; ++Run) {
        Runner = std::min(Runner, Best(1, [&] {
                              TMemoryStream Output;
                              std::uint32_t ExitCode = 0;
                              RunProcess(CommandLine, nullptr, &Output, nullptr, ExitCode, SW_HIDE,
                                         NORMAL_PRIORITY_CLASS);
                              Bytes = Output.Bytes().size();
                          }));
        Load = std::min(Load, Best(1, [&] { Tags.LoadFromFile(Source); }));
    }
    std::printf("ctags, %zu bytes of output (%d tags): LoadFromFile %.3f s, runner alone %.3f s, "
                "ratio %.3f (decode, parse and sort add %.1f ms)\n",
                Bytes, Tags.Count(), Load, Runner, Load / Runner, (Load - Runner) * 1000);

    UseScript(Dir, L"100k.txt", "tags 100000\nexit 0\n");
    const double Large = Best(3, [&] { Tags.LoadFromFile(Source); });
    std::printf("ctags, 100,000 tags: LoadFromFile %.3f s (%d tags)\n", Large, Tags.Count());
    return 0;
}

} // namespace

int main()
{
    try {
        return Run();
    } catch (const Exception& E) {
        std::printf("ctags benchmark failed: %ls: %ls\n", E.ClassName(), E.Message().c_str());
        return 1;
    }
}
