// The whole editor command, from OpenW to the function list on the screen,
// on a 50,000-line file with 5,000 functions and on a 200,000-line one with
// 40,000 (the most rows a list is seen with): the first open of a text
// against the fakectags run on the same file plus the snapshot's own write
// (ctags always reads the editor's text, saved or not), and the second open
// of the same text against the first.
#include "BenchUtil.h"
#include "base/uProcess.h"
#include "BenchPlugin.h"

#include "tags/uCtags.h"
#include "dialogs/uFarDialog.h"
#include "bridge/uFarEditor.h"
#include "base/uFiles.h"
#include "plugin/uPlugin.h"
#include "base/uStrings.h"

#include <cstdio>
#include <memory>
#include <string>

using namespace bench;

namespace {

// Ten lines a function, or five when Short.
std::string SourceText(int Functions, bool Short)
{
    std::string Text;
    for (int I = 0; I < Functions; ++I) {
        const std::string Name = "compute_value_" + std::to_string(I);
        if (Short)
            Text += "int " + Name + "(int a, int b)\n{\n    int r = a + b;\n    return r > " + std::to_string(I) +
                    " ? r : b;\n}\n";
        else
            Text += "int " + Name + "(int a, int b)\n{\n    int r = a + b;\n    if (r > " + std::to_string(I) +
                    ")\n        r -= b;\n    for (int i = 0; i < a; ++i)\n        r += i;\n    /* " + Name +
                    " */\n    return r;\n}\n";
    }
    return Text;
}

int RunOn(int Functions, bool Short, int Rounds)
{
    TScratch Dir;
    const std::wstring Source = Dir / L"source.c";
    const std::string Text = SourceText(Functions, Short);
    WriteFileBytes(Source, Text);
    ::SetEnvironmentVariableW(L"FAKECTAGS_SCRIPT", nullptr);

    TBenchPlugin Plugin(
        [](TFarHost& Host) { Host.Settings().SetString(PluginGuidValue, L"", L"CtagsFileName", FakeCtags()); });
    if (!Plugin.Started())
        return 1;
    TFarHost& Host = Plugin.Host();
    TEditor& Editor = Host.Editors().Open(Source, CodePageToWide(CP_UTF8, Text));

    // The baseline: ctags alone on the same file, run as the command runs
    // it: an empty input, its output and its error text captured.
    const std::wstring CommandLine = QuotedStr(FakeCtags()) +
                                     std::wstring(TCtags::ArgumentsFor(TCtagsFlavour::Universal)) + QuotedStr(Source);
    const auto RunCtags = [&] {
        TMemoryStream Input, Output, Errors;
        std::uint32_t ExitCode = 0;
        RunProcess(CommandLine, &Input, &Output, &Errors, ExitCode, SW_HIDE, NORMAL_PRIORITY_CLASS);
    };
    // The snapshot's own write: each line asked of the editor and written
    // through a text stream, nothing else.
    std::vector<double> Writes;
    const auto WriteSnapshot = [&] {
        auto Stream = TTextStream::Create(Dir / L"write.c", fmCreate);
        std::wstring_view Line;
        for (size_t I = 0; I < Editor.Lines.size(); ++I)
            if (TFarEditor::GetStringView(Editor.Id, static_cast<intptr_t>(I), Line))
                Stream->WriteLine(Line);
        Stream->Flush();
    };

    // The command, until the list shows (the host asks for input).
    const auto Command = [&](size_t& Boxes) {
        double Shown = 0;
        double Start = 0;
        Host.ClearMessages();
        // The simulated host logs every call, which the real one does not:
        // a log grown over all the rounds would be copied as it grows.
        Host.ClearCalls();
        Host.QueueDialogScript(TDialogScript().Check([&](THostDialog&) { Shown = Seconds(); }).Esc());
        Start = Seconds();
        Host.OpenFromEditor();
        Boxes = Host.Messages().size();
        return Shown - Start;
    };
    // Taken in turns, medians of each, so that a busy moment of the
    // machine does not land on one side only. Each round the last line
    // changes, so that the first open runs ctags; the second finds the same
    // text.
    Editor.Unsaved = true;
    size_t Boxes = 0;
    size_t FirstBoxes = 0;
    std::vector<double> Ctags, First, Second;
    for (int I = 0; I < Rounds; ++I) {
        Editor.Lines.back().Text = L"/* round " + std::to_wstring(I) + L" */";
        Ctags.push_back(Best(1, RunCtags));
        Writes.push_back(Best(1, WriteSnapshot));
        First.push_back(Command(FirstBoxes));
        Second.push_back(Command(Boxes));
    }
    const double Base = Median(Ctags) + Median(Writes);
    std::printf("editor command, %d lines and %d functions, to the function list shown:\n",
                static_cast<int>(Editor.Lines.size()), Functions);
    std::printf("  fakectags alone %.3f s, plus the snapshot's write (each line asked of the editor and written "
                "through a text stream) %.3f s: %.3f s\n",
                Median(Ctags), Median(Writes), Base);
    std::printf("  first open of a changed text: %.3f s, ratio %.3f (target <= 1.10); %zu progress windows drawn\n",
                Median(First), Median(First) / Base, FirstBoxes);
    std::printf("  second open of the same text: %.3f s, ratio %.3f to the first (target <= 0.10: %s), %.3f to "
                "fakectags alone\n",
                Median(Second), Median(Second) / Median(First),
                Median(Second) <= 0.10 * Median(First) ? "met" : "NOT met", Median(Second) / Median(Ctags));
    return 0;
}

int Run()
{
    const int Failed = RunOn(5000, false, 15);
    return Failed ? Failed : RunOn(40000, true, 5);
}

} // namespace

int main()
{
    return RunBench("command", Run);
}
