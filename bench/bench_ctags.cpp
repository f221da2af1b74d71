// TCtags.LoadFromFile on 5,000, 20,000 and 100,000 tags of fakectags:
// what decoding, parsing and sorting add to the runner alone on the same
// output, each stage timed on its own, and the whole against the plain
// route (a string per line, a sort key per tag) in the same run.
//
// With --ctags PATH (a Windows ctags.exe), also LoadFromFile with that
// ctags on a generated C file against the same ctags writing its tags to a
// file, and against the runner alone on LoadFromFile's command line.
#include "BenchUtil.h"
#include "base/uProcess.h"

#include "tags/uCtags.h"
#include "tags/uLocaleOrder.h"
#include "base/uStrings.h"

#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>

using namespace bench;

namespace {

std::string_view BytesOf(const TMemoryStream& Stream)
{
    return std::string_view(reinterpret_cast<const char*>(Stream.Bytes().data()), Stream.Bytes().size());
}

// The route LoadFromFile took before: a string per line, an item per tag,
// a sort key per name.
size_t LoadPlainly(std::string_view Bytes)
{
    std::vector<std::unique_ptr<TCtagsItem>> Items;
    for (const std::wstring& Line : SplitTextLines(DecodeText(Bytes)))
        if (auto Item = TCtags::ParseTagLine(Line))
            Items.push_back(std::move(Item));
    struct TKeyed {
        std::string Key;
        std::unique_ptr<TCtagsItem> Item;
    };
    std::vector<TKeyed> Keyed;
    Keyed.reserve(Items.size());
    for (auto& Item : Items)
        Keyed.push_back({SortKeyLocale(Item->Name), std::move(Item)});
    std::sort(Keyed.begin(), Keyed.end(), [](const TKeyed& A, const TKeyed& B) {
        const int Order = A.Key.compare(B.Key);
        return Order != 0 ? Order < 0 : A.Item->Line < B.Item->Line;
    });
    return Keyed.size();
}

// TargetMs (0 for none) bounds decoding, parsing and sorting.
void BenchFakeCtags(int TagCount, int Runs, double TargetMs)
{
    TScratch Dir;
    const std::wstring Source = Dir / L"source.c";
    WriteFileBytes(Source, "int main(void);\n");
    UseScript(Dir, L"tags.txt", "tags " + std::to_string(TagCount) + "\nexit 0\n");
    std::unique_ptr<TCtags> Tags;
    const std::wstring CommandLine = QuotedStr(FakeCtags()) +
                                     std::wstring(TCtags::ArgumentsFor(TCtagsFlavour::Universal)) + QuotedStr(Source);

    // A fresh stream for every run, as LoadFromFile has: the stream's
    // growth is part of capturing.
    std::unique_ptr<TMemoryStream> Output;
    std::vector<double> Runner;
    std::vector<double> Load;
    // Interleaved, so that both see the same state of the machine, with a
    // pause before each: the last child may still be winding down in the
    // system, and that must not fall on one side only.
    for (int Run = 0; Run < Runs; ++Run) {
        ::Sleep(100);
        Runner.push_back(Best(1, [&] {
            Output = std::make_unique<TMemoryStream>();
            std::uint32_t ExitCode = 0;
            RunProcess(CommandLine, nullptr, Output.get(), nullptr, ExitCode, SW_HIDE, NORMAL_PRIORITY_CLASS);
        }));
        ::Sleep(100);
        // A command loads into tags of its own and lets them go after the
        // list: freeing the last run's list and its folder is not its wait.
        Tags = std::make_unique<TCtags>();
        Tags->SetExecutableName(FakeCtags());
        Load.push_back(Best(1, [&] { Tags->LoadFromFile(Source); }));
    }

    const std::string_view Bytes = BytesOf(*Output);
    std::wstring Text;
    std::vector<TCtags::TTagRef> Parsed;
    const double Decode = Best(Runs, [&] { Text = DecodeText(Bytes); });
    const double Parse = Best(Runs, [&] { Parsed = TCtags::ParseTagLines(Text); });
    double Sort = 1e30;
    for (int Run = 0; Run < Runs; ++Run) {
        std::vector<TCtags::TTagRef> Refs = Parsed;
        Sort = std::min(Sort, Best(1, [&] { TCtags::SortTagRefs(Refs); }));
    }
    const double Whole = Best(Runs, [&] { Tags->LoadFromOutput(Bytes); });
    size_t PlainCount = 0;
    const double Plain = Best(std::max(1, Runs / 3), [&] { PlainCount = LoadPlainly(Bytes); });

    // A child's run varies by tens of milliseconds under wine on a busy
    // machine: the medians are steadier than the best runs.
    std::printf("%d tags, %zu bytes: LoadFromFile %.1f ms, runner alone %.1f ms (medians), ratio %.3f; "
                "decoding, parsing and sorting add %.1f ms (%.1f ms between the best runs)\n",
                Tags->Count(), Bytes.size(), Median(Load) * 1e3, Median(Runner) * 1e3, Median(Load) / Median(Runner),
                (Median(Load) - Median(Runner)) * 1e3,
                (*std::min_element(Load.begin(), Load.end()) - *std::min_element(Runner.begin(), Runner.end())) * 1e3);
    std::printf("  on the captured output: decode %.1f ms, split and parse %.1f ms, sort %.1f ms, "
                "items %.1f ms; all %.1f ms against %.1f ms the plain route (%zu tags), ratio %.3f\n",
                Decode * 1e3, Parse * 1e3, Sort * 1e3, std::max(0.0, Whole - Decode - Parse - Sort) * 1e3, Whole * 1e3,
                Plain * 1e3, PlainCount, Whole / Plain);
    if (TargetMs > 0)
        std::printf("  target: at most %.0f ms: %s\n", TargetMs, Whole * 1e3 <= TargetMs ? "met" : "NOT met");
}

// A C file of Lines lines in blocks of macros, structs with members,
// typedefs, enums and functions, so that a real ctags finds thousands of
// tags of many kinds.
std::string GeneratedSource(int Lines)
{
    std::string Text;
    int Written = 0;
    for (int Block = 0; Written < Lines; ++Block) {
        const std::string N = std::to_string(Block);
        const std::string Part = "#define LIMIT_" + N + " (" + N + " * 2)\n" + "struct record_" + N +
                                 " {\n    int count_" + N + ";\n    char *name;\n};\n" + "typedef struct record_" + N +
                                 " Record" + N + ";\n" + "enum state_" + N + " { IDLE_" + N + ", BUSY_" + N + " };\n" +
                                 "static int Compute_" + N + "(int value)\n{\n    return value + LIMIT_" + N +
                                 ";\n}\n\n";
        Text += Part;
        for (const char C : Part)
            Written += C == '\n';
    }
    return Text;
}

void BenchRealCtags(const std::wstring& Ctags)
{
    TScratch Dir;
    const std::wstring Source = Dir / L"generated.c";
    WriteFileBytes(Source, GeneratedSource(50000));
    const std::wstring Redirected = Dir / L"redirected";
    const std::wstring TagFile = Dir / L"tags";
    // The plain ctags run a list needs, its output sent to a file the
    // textbook way; the same ctags writing its tag file itself; and the
    // command line LoadFromFile runs, to a file, for what the scope fields
    // cost ctags itself.
    const std::wstring Plain = QuotedStr(Ctags) + L" -f - --fields=K -n --format=2 " + QuotedStr(Source);
    const std::wstring OwnFile = QuotedStr(Ctags) + L" -f " + QuotedStr(TagFile) + L" --fields=K -n --format=2 " +
                                 QuotedStr(Source);
    const std::wstring SameArguments = QuotedStr(Ctags) + std::wstring(TCtags::ArgumentsFor(TCtagsFlavour::Universal)) +
                                       QuotedStr(Source);
    // The same, unsorted: ctags then writes as it goes, and it costs ctags
    // itself more than reading its output while it runs saves.
    std::wstring UnsortedArguments = SameArguments;
    UnsortedArguments.insert(UnsortedArguments.find(L" -f - ") + 5, L" --sort=no");
    // The runner alone on LoadFromFile's command line: with the caller's
    // folder and environment, and with the folder, environment and output
    // pieces of LoadFromFile (ctags' own folder, a TMP of its own). What is
    // left between that and LoadFromFile is the reading of the output.
    TProcessOptions AsLoaded;
    AsLoaded.Directory = ExtractFileDir(Ctags);
    AsLoaded.Environment = {L"TMP=" + ExtractFileDir(Source), L"TEMP=" + ExtractFileDir(Source)};
    AsLoaded.DrainInterval = TCtags::OutputDrainInterval;
    const TProcessOutputEvent Ignore = [](HANDLE, const void*, std::uint32_t) {};
    std::unique_ptr<TCtags> Tags;
    std::vector<double> ToFile, WithF, Same, NoSort, Runner, RunnerAsLoaded, Load;
    for (int Run = 0; Run < 7; ++Run) {
        bool Done = false;
        ToFile.push_back(Best(1, [&] { Done = RunToFile(Plain, Redirected); }));
        Same.push_back(Best(1, [&] { Done = Done && RunToFile(SameArguments, Redirected); }));
        NoSort.push_back(Best(1, [&] { Done = Done && RunToFile(UnsortedArguments, Dir / L"unsorted"); }));
        std::uint32_t ExitCode = 0;
        WithF.push_back(Best(1, [&] {
            Done = Done &&
                   RunProcess(OwnFile, static_cast<TStream*>(nullptr), nullptr, nullptr, ExitCode, SW_HIDE,
                              NORMAL_PRIORITY_CLASS) &&
                   ExitCode == 0;
        }));
        Runner.push_back(Best(1, [&] {
            TMemoryStream Captured;
            Done = Done &&
                   RunProcess(SameArguments, static_cast<TStream*>(nullptr), &Captured, nullptr, ExitCode, SW_HIDE,
                              NORMAL_PRIORITY_CLASS) &&
                   ExitCode == 0;
        }));
        RunnerAsLoaded.push_back(Best(1, [&] {
            TMemoryStream Input, Captured;
            Done = Done &&
                   RunProcess(SameArguments, &Input, &Captured, nullptr, ExitCode, SW_HIDE, NORMAL_PRIORITY_CLASS,
                              Ignore, {}, 0, {}, AsLoaded) &&
                   ExitCode == 0;
        }));
        if (!Done) {
            std::printf("real ctags: %ls did not run to its end\n", Ctags.c_str());
            return;
        }
        // A command loads into tags of its own and lets them go after the
        // list: freeing the last run's list and its folder is not its wait.
        Tags = std::make_unique<TCtags>();
        Tags->SetExecutableName(Ctags);
        Load.push_back(Best(1, [&] { Tags->LoadFromFile(Source); }));
    }
    // What of that is decoding, parsing and sorting, on the output of the
    // same ctags captured once.
    const std::string Output = toolsupport::ReadFileBytes(Redirected);
    const double Own = Best(5, [&] { Tags->LoadFromOutput(Output); });
    const double Ratio = Median(Load) / Median(ToFile);
    std::printf("real ctags, 50,000 lines of C, %d tags (%zu bytes), medians of 7 runs taken in turn:\n"
                "  LoadFromFile %.1f ms; the same ctags (-f - --fields=K -n --format=2), standard output to a file, "
                "%.1f ms: ratio %.3f (target 1.00: %s)\n"
                "  the same ctags writing its tags with -f FILE %.1f ms: ratio %.3f; with LoadFromFile's arguments "
                "to a file %.1f ms (with --sort=no %.1f ms); decoding, parsing and sorting the whole "
                "output at once take %.1f ms\n"
                "  the runner alone on LoadFromFile's arguments %.1f ms, and with its folder, environment and "
                "pieces %.1f ms\n",
                Tags->Count(), Output.size(), Median(Load) * 1e3, Median(ToFile) * 1e3, Ratio,
                Ratio <= 1.00 ? "met" : "NOT met", Median(WithF) * 1e3, Median(Load) / Median(WithF),
                Median(Same) * 1e3, Median(NoSort) * 1e3, Own * 1e3, Median(Runner) * 1e3,
                Median(RunnerAsLoaded) * 1e3);
}

int Run(const std::wstring& RealCtags)
{
    const double Start = Seconds();
    const auto Order = TLocaleOrder::Current();
    std::printf("locale order table (built once per process): %.1f ms, identifiers %s\n", (Seconds() - Start) * 1e3,
                Order->Covers(L"Get_Item42") ? "covered" : "not covered, every name takes a sort key");
    BenchFakeCtags(5000, 15, 0);
    BenchFakeCtags(20000, 11, 20);
    BenchFakeCtags(100000, 9, 100);
    if (!RealCtags.empty())
        BenchRealCtags(RealCtags);
    return 0;
}

} // namespace

// --ctags PATH adds the run with a real ctags.
int main()
{
    int Argc = 0;
    wchar_t** Argv = ::CommandLineToArgvW(::GetCommandLineW(), &Argc);
    std::wstring RealCtags;
    for (int I = 1; I + 1 < Argc; ++I)
        if (std::wstring(Argv[I]) == L"--ctags")
            RealCtags = Argv[I + 1];
    try {
        return Run(RealCtags);
    } catch (const Exception& E) {
        std::printf("ctags benchmark failed: %ls: %ls\n", E.ClassName(), E.Message().c_str());
        return 1;
    }
}
