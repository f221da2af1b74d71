// Whatever fails under a whole command, the command returns, gives back what
// it took from the host, leaves no file behind and says so at most once. The
// host calls fail one at a time (each of a command's calls in turn), and the
// system fails the ways the plugin can meet through what it is given.
#include "DllTestSupport.h"
#include "base/Handle.h"

#include "base/uFaults.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <utility>

using ::testing::IsEmpty;
using namespace dlltest;

namespace {

// The user at the keyboard: the planned keys, then Esc while a dialog stays
// open, as anyone does when a key seems to do nothing. A dialog that three
// Esc keys leave open would not close for anyone; the host reports it.
class TUser : public TDialogInput {
public:
    explicit TUser(TDialogScript Plan) : FPlan(std::move(Plan)) {}
    bool Next(TDialogAction& Action) override
    {
        if (FPlan.Next(Action))
            return true;
        if (FEscapes == 3)
            return false;
        ++FEscapes;
        TDialogScript Esc;
        Esc.Esc();
        return Esc.Next(Action);
    }

private:
    TDialogScript FPlan;
    int FEscapes = 0;
};

// Tags, in list order: area 8, main 14, print_point 20.
const char* const Source = "#include <stdio.h>\n"
                           "\n"
                           "\n"
                           "\n"
                           "\n"
                           "\n"
                           "\n"
                           "int area(int w, int h)\n"
                           "{\n"
                           "    return w * h;\n"
                           "}\n"
                           "\n"
                           "\n"
                           "int main(void)\n"
                           "{\n"
                           "    print_point(0);\n"
                           "    return area(2, 3);\n"
                           "}\n"
                           "\n"
                           "void print_point(int p)\n"
                           "{\n"
                           "}\n";

// Options dialog: frame, path label, path, check box, delay, unit label,
// tags files label, tags files, separator, OK, Cancel.
constexpr intptr_t OkButton = 10;

std::string Narrow(const std::vector<std::wstring>& Lines)
{
    std::string Text;
    for (const std::wstring& Line : Lines)
        Text += (Text.empty() ? "" : " | ") + WideToUtf8(Line);
    return Text;
}

class FaultInjectionTest : public TDllTest {
protected:
    struct TCommand {
        const char* Name;
        std::function<void()> Prepare; // the plugin is loaded; nothing counts yet
        std::function<TDialogScript()> Keys;
        std::function<intptr_t()> Run;
        std::function<void(intptr_t Result)> CheckDone; // after a run without a fault
    };

    struct TOutcome {
        size_t Calls = 0;
        std::string Fault;
        intptr_t Result = 0;
        std::vector<std::vector<std::wstring>> Boxes; // those with buttons
        size_t Warnings = 0;                          // of them
    };

    // Which call fails: a host call by its number, or (with System set) a
    // call of the system layer in the library built for it.
    struct TPlan {
        size_t FailAt = 0;
        std::optional<TSystemFault> System;
    };
    static constexpr const char* SiteNames[] = {"allocation", "file write", "file delete"};

    TPluginInfoCopy Info;
    std::vector<std::string> Problems;
    // The library with the system's failures on demand, loaded in place of
    // the shipped one.
    bool SystemFaults = false;

    void UseSystemFaults()
    {
        SystemFaults = true;
        ASSERT_TRUE(::CopyFileW((toolsupport::ProgramFolder() + L"\\LodestarFaults.dll").c_str(),
                                (PluginDir + L"\\Lodestar.dll").c_str(), FALSE));
    }

    // Sets the system's plan in the loaded library; the calls it counted and
    // whether its fault came, of the plan before.
    std::pair<size_t, bool> PlanSystem(TSystemFault Site, size_t FailAt, bool Armed)
    {
        using TPlanFn = void(WINAPI*)(unsigned, size_t, BOOL);
        using TCallsFn = size_t(WINAPI*)(unsigned, BOOL*);
        const auto Plan = reinterpret_cast<TPlanFn>(::GetProcAddress(Host->Module(), "LodestarPlanSystemFault"));
        const auto Calls = reinterpret_cast<TCallsFn>(::GetProcAddress(Host->Module(), "LodestarSystemFaultCalls"));
        if (!Plan || !Calls) {
            ADD_FAILURE() << "the library has no system fault plan";
            return {0, false};
        }
        BOOL Injected = FALSE;
        const size_t Counted = Calls(static_cast<unsigned>(Site), &Injected);
        Plan(static_cast<unsigned>(Site), FailAt, Armed ? TRUE : FALSE);
        return {Counted, Injected != FALSE};
    }

    TEditor& OpenModified(size_t FillerLines = 0)
    {
        std::string Text = Source;
        for (size_t I = 0; I < FillerLines; ++I)
            Text += "/* a comment that takes room in the snapshot, line " + std::to_string(I) + " */\n";
        TEditor& Editor = OpenSource(L"main.c", Text);
        Editor.Unsaved = true;
        return Editor;
    }

    // One run of Command in a fresh host with the plugin freshly loaded, the
    // host call FailAt refused (0: none). What went wrong goes to Problems.
    TOutcome RunOnce(const TCommand& Command, size_t FailAt) { return RunOnce(Command, TPlan{FailAt, {}}); }

    TOutcome RunOnce(const TCommand& Command, const TPlan& Plan)
    {
        const size_t FailAt = Plan.FailAt;
        TOutcome Outcome;
        if (Host->IsLoaded())
            Host->Unload();
        Host.reset();
        Host = std::make_unique<TFarHost>();
        Load();
        Info = Host->GetPluginInfo();
        Command.Prepare();
        TEditor* Editor = Host->Editors().Count() ? &Host->Editors().Current() : nullptr;
        const std::wstring Text = Editor ? Editor->Text() : std::wstring();
        TUser User(Command.Keys());
        Host->Dialogs().SetInput(&User);
        const size_t CallsBefore = Host->Calls().size();

        if (Plan.System) {
            PlanSystem(*Plan.System, FailAt, true);
            Outcome.Result = Command.Run();
            const auto [Counted, Injected] = PlanSystem(*Plan.System, 0, false);
            Outcome.Calls = Counted;
            if (Injected)
                Outcome.Fault = SiteNames[static_cast<size_t>(*Plan.System)];
        } else {
            Host->SetFaultPlan(FailAt);
            Outcome.Result = Command.Run();
            Outcome.Calls = Host->FaultableCalls();
            Outcome.Fault = Host->InjectedFault();
            Host->SetFaultPlan(0);
        }
        Host->Dialogs().SetInput(nullptr);
        Outcome.Boxes = Host->ButtonBoxTexts();
        for (const TMessageBox& Box : Host->Messages())
            Outcome.Warnings += !Box.Buttons.empty() && (Box.Flags & far3::FMSG_WARNING);

        const std::string Where = std::string(Command.Name) + ", " +
                                  (Plan.System ? SiteNames[static_cast<size_t>(*Plan.System)] : "call") + " " +
                                  std::to_string(FailAt) + " " + (FailAt ? Outcome.Fault : std::string("(no fault)")) +
                                  ": ";
        const auto Problem = [&](const std::string& What) { Problems.push_back(Where + What); };
        // A command makes the same calls on any machine (a progress
        // window's redraws by the clock are not counted): a fault planned
        // within the calls of a clean run is met.
        if (FailAt && Outcome.Fault.empty())
            Problem("the fault was never met: the command made only " + std::to_string(Outcome.Calls) + " calls");
        const std::vector<TServiceCall> Calls = Host->Calls();
        for (size_t I = CallsBefore; I < Calls.size(); ++I)
            if (Calls[I].Service != "ACTL_SYNCHRO" && Calls[I].ThreadId != Host->MainThreadId())
                Problem(Calls[I].Service + " from another thread");
        if (Host->SavedScreenCount())
            Problem(std::to_string(Host->SavedScreenCount()) + " saved screens neither restored nor freed");
        if (Host->DialogCount())
            Problem(std::to_string(Host->DialogCount()) + " dialogs not freed");
        if (Host->Settings().OpenHandleCount())
            Problem(std::to_string(Host->Settings().OpenHandleCount()) + " settings handles open");
        if (Editor && Editor->Text() != Text)
            Problem("the editor's text changed");
        if (Outcome.Boxes.size() > 1) {
            std::string All;
            for (const auto& Box : Outcome.Boxes)
                All += " [" + Narrow(Box) + "]";
            Problem(std::to_string(Outcome.Boxes.size()) + " boxes:" + All);
        }
        EXPECT_TRUE(Host->Unload());
        // A snapshot that could not be deleted goes at the unload.
        if (!LeftIn(TempDir).empty())
            Problem("left in the temporary folder: " + Narrow(LeftIn(TempDir)));
        for (const std::wstring& Error : Host->Errors())
            Problem("host error: " + WideToUtf8(Error));
        Host->ClearErrors();
        return Outcome;
    }

    // The command without a fault, then once with each of its host calls
    // refused in turn.
    void InjectEveryFault(const TCommand& Command)
    {
        const TOutcome Clean = RunOnce(Command, 0);
        ASSERT_THAT(Problems, IsEmpty());
        ASSERT_GT(Clean.Calls, 0u);
        EXPECT_THAT(Clean.Boxes, IsEmpty());
        Command.CheckDone(Clean.Result);
        for (size_t N = 1; N <= Clean.Calls; ++N)
            RunOnce(Command, N);
        std::printf("%s: %zu faults injected\n", Command.Name, Clean.Calls);
        std::fflush(stdout);
        EXPECT_THAT(Problems, IsEmpty());
    }

    // The same with the system's failures: every write and every delete in
    // turn, and allocations at Samples points spread over the command (the
    // first ones all, where the start of every piece of work lies).
    void InjectSystemFaults(const TCommand& Command, size_t Samples)
    {
        UseSystemFaults();
        size_t Injected = 0;
        std::string Counts;
        for (const TSystemFault Site : {TSystemFault::FileWrite, TSystemFault::FileDelete, TSystemFault::Allocation}) {
            const TOutcome Clean = RunOnce(Command, TPlan{0, Site});
            ASSERT_THAT(Problems, IsEmpty());
            EXPECT_THAT(Clean.Boxes, IsEmpty());
            Command.CheckDone(Clean.Result);
            std::vector<size_t> Points;
            const size_t Dense = Site == TSystemFault::Allocation ? std::min(Clean.Calls, Samples / 2) : Clean.Calls;
            for (size_t N = 1; N <= Dense; ++N)
                Points.push_back(N);
            // ctags' output is parsed in the pieces it arrives in, and how
            // many there are depends on the moment: a few allocations more
            // or fewer from run to run. The spread points stay clear of the
            // last tenth, which a run with fewer pieces may not reach.
            const size_t Last = Site == TSystemFault::Allocation ? Clean.Calls - Clean.Calls / 10 : Clean.Calls;
            for (size_t K = 1; Dense < Last && K <= Samples - Dense; ++K)
                Points.push_back(Dense + (Last - Dense) * K / (Samples - Dense));
            Points.erase(std::unique(Points.begin(), Points.end()), Points.end());
            for (const size_t N : Points)
                RunOnce(Command, TPlan{N, Site});
            Injected += Points.size();
            Counts += std::string(Counts.empty() ? "" : ", ") + SiteNames[static_cast<size_t>(Site)] + " " +
                      std::to_string(Points.size()) + " of " + std::to_string(Clean.Calls);
        }
        std::printf("%s, system failures: %zu faults injected (%s)\n", Command.Name, Injected, Counts.c_str());
        std::fflush(stdout);
        EXPECT_THAT(Problems, IsEmpty());
    }
};

} // namespace

TEST_F(FaultInjectionTest, TheMenuCommandSurvivesEveryRefusedHostCall)
{
    InjectEveryFault({"menu command", [&] { OpenModified(); }, [] { return TDialogScript().Type(L"ar").Enter(); },
                      [&] {
                          Host->Open(far3::OPEN_EDITOR, &Info.PluginMenu.front().Guid, 0);
                          return intptr_t{0};
                      },
                      [&](intptr_t) { EXPECT_EQ(Host->Editors().Current().CurLine, 7); }});
}

// The filter that waits for a pause in typing takes another road: a worker
// thread, ACTL_SYNCHRO, and the filter on the host's thread when the host
// calls back.
TEST_F(FaultInjectionTest, TheDelayedFilterSurvivesEveryRefusedHostCall)
{
    InjectEveryFault({"delayed filter",
                      [&] {
                          Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelayEnabled", 1);
                          Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelay", 50);
                          OpenModified();
                      },
                      [] { return TDialogScript().Type(L"ar").WaitForSynchro().Enter(); },
                      [&] {
                          Host->Open(far3::OPEN_EDITOR, &Info.PluginMenu.front().Guid, 0);
                          return intptr_t{0};
                      },
                      [&](intptr_t) { EXPECT_EQ(Host->Editors().Current().CurLine, 7); }});
}

// Memory that runs out, a disk that fills up in the middle of the snapshot,
// a snapshot another program holds open: each ends the command in one box
// or none, with nothing left behind.
TEST_F(FaultInjectionTest, TheMenuCommandSurvivesTheSystemsFailures)
{
    // A snapshot of several writes, so that one fails in the middle.
    InjectSystemFaults({"menu command", [&] { OpenModified(4000); }, [] { return TDialogScript().Type(L"ar").Enter(); },
                        [&] {
                            Host->Open(far3::OPEN_EDITOR, &Info.PluginMenu.front().Guid, 0);
                            return intptr_t{0};
                        },
                        [&](intptr_t) { EXPECT_EQ(Host->Editors().Current().CurLine, 7); }},
                       200);
}

TEST_F(FaultInjectionTest, TheMacroCallSurvivesEveryRefusedHostCall)
{
    // A saved file, the filter taken from the selection.
    InjectEveryFault({"macro call", [&] { OpenSource(L"main.c", Source).SelectStream(15, 4, 15, 15); },
                      [] { return TDialogScript().Enter(); }, [&] { return Macro({TMacroValue::Str(L"execute")}); },
                      [&](intptr_t Result) {
                          EXPECT_EQ(Result, 1);
                          EXPECT_EQ(Host->Editors().Current().CurLine, 19);
                      }});
}

TEST_F(FaultInjectionTest, TheOptionsDialogSurvivesEveryRefusedHostCall)
{
    InjectEveryFault({"options dialog",
                      [&] {
                          Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelayEnabled", 1);
                          Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelay", 300);
                      },
                      [] { return TDialogScript().Key(VK_TAB).Key(VK_TAB).Type(L"500").Click(OkButton); },
                      [&] { return Host->Configure(sizeof(far3::ConfigureInfo), &Info.PluginConfig.front().Guid); },
                      [&](intptr_t Result) {
                          EXPECT_EQ(Result, 1);
                          EXPECT_EQ(Host->Settings().GetValue(PluginGuidValue, L"", L"FunctionSearchDelay"),
                                    TSettingsValue::FromNumber(500));
                      }});
}

TEST_F(FaultInjectionTest, TheOptionsDialogSurvivesTheSystemsFailures)
{
    InjectSystemFaults({"options dialog", [] {},
                        [] { return TDialogScript().Key(VK_TAB).Key(VK_TAB).Type(L"500").Click(OkButton); },
                        [&] { return Host->Configure(sizeof(far3::ConfigureInfo), &Info.PluginConfig.front().Guid); },
                        [&](intptr_t Result) { EXPECT_EQ(Result, 1); }},
                       100);
}

TEST_F(FaultInjectionTest, SystemFaultsEndInOneBoxOrNoneAndWriteNowhere)
{
    const std::wstring Missing = Dir / L"missing";
    const std::wstring NotAFolder = Dir / L"not-a-folder";
    const std::wstring NotAProgram = Dir / L"ctags.exe";
    tagstest::WriteFileBytes(NotAFolder, "a file\n");
    tagstest::WriteFileBytes(NotAProgram, "not a program\n");
    tagstest::WriteFileBytes(Dir / L"main.c", Source);
    // The plugin's current folder is one of ours, to see what lands there.
    const std::wstring Current = Dir / L"current";
    ::CreateDirectoryW(Current.c_str(), nullptr);
    wchar_t Previous[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, Previous);
    ::SetCurrentDirectoryW(Current.c_str());
    const auto Restore = ScopeExit([&] { ::SetCurrentDirectoryW(Previous); });

    // Where ctags says which file it was given: with no usable temporary
    // folder, a snapshot of the buffer would have to be written elsewhere.
    const std::wstring Given = Dir / L"seen\\given.txt";
    ::CreateDirectoryW((Dir / L"seen").c_str(), nullptr);
    const std::string Tell = "name " + WideToUtf8(Given) + "\nctags\n";
    const char* const Good = "out main\\tmain.c\\t14;\"\\tfunction\\n"
                             "out area\\tmain.c\\t8;\"\\tfunction\\n";
    struct {
        const char* Name;
        std::wstring Tmp;   // empty: the test's own temporary folder
        std::wstring Ctags; // empty: fakectags
        std::string Script; // for fakectags; empty: it tags the file
        std::wstring InBox; // the one box, a warning, says this
        int Rows;           // rows the list shows; 0: it does not show; -1: either way
    } Cases[] = {
        {"temporary folder missing", Missing, L"", Tell, Missing, -1},
        {"temporary folder is a file", NotAFolder, L"", Tell, NotAFolder, -1},
        {"ctags cannot start", L"", NotAProgram, "", L"The ctags program could not be started:", 0},
        {"ctags dies mid-output", L"", L"", std::string(Good) + "out print_po\nexit 3\n", L"", 0},
        {"broken lines", L"", L"",
         std::string("out no tabs at all\\n") + Good +
             "out name only\\t\\n"
             "out name\\tmain.c\\tnot-a-number;\"\\tfunction\\n"
             "out \\t\\t\\n",
         L"", 2},
    };
    for (const auto& Case : Cases) {
        const TScript Steer(Dir, Case.Script.empty() ? "ctags\n" : Case.Script);
        const std::vector<std::wstring> Before = FilesIn(Dir.Path());
        std::unique_ptr<TEnvOverride> Tmp, Temp;
        if (!Case.Tmp.empty()) {
            Tmp = std::make_unique<TEnvOverride>(L"TMP", Case.Tmp);
            Temp = std::make_unique<TEnvOverride>(L"TEMP", Case.Tmp);
        }
        const int Rows = Case.Rows;
        const std::string Name = Case.Name;
        const TOutcome Outcome = RunOnce(
            {Case.Name,
             [&] {
                 if (!Case.Ctags.empty())
                     Host->Settings().SetString(PluginGuidValue, L"", L"CtagsFileName", Case.Ctags);
                 OpenModified();
             },
             [Rows, Name] {
                 return TDialogScript()
                     .Check([Rows, Name](THostDialog& Live) {
                         EXPECT_NE(Rows, 0) << Name << ": the function list showed";
                         if (Rows > 0) {
                             EXPECT_EQ(VisibleEntries(Live.Items[3]).size(), size_t(Rows)) << Name;
                         }
                     })
                     .Esc();
             },
             [&] { return Macro({TMacroValue::Str(L"execute")}); }, nullptr},
            0);
        if (Case.Rows > 0) {
            EXPECT_THAT(Outcome.Boxes, IsEmpty()) << Case.Name;
        } else {
            EXPECT_EQ(Outcome.Boxes.size(), 1u) << Case.Name;
        }
        if (!Case.InBox.empty() && !Outcome.Boxes.empty()) {
            EXPECT_EQ(Outcome.Warnings, 1u) << Case.Name;
            const std::string Box = Narrow(Outcome.Boxes.front());
            EXPECT_NE(Box.find(WideToUtf8(Case.InBox)), std::string::npos) << Case.Name << ": " << Box;
        }
        EXPECT_EQ(FilesIn(Dir.Path()), Before) << Case.Name << ": a file was written beside the test's";
        EXPECT_THAT(LeftIn(Current), IsEmpty()) << Case.Name << ": a file was written in the current folder";
        EXPECT_THAT(FilesIn(PluginDir),
                    ::testing::UnorderedElementsAre(L"Lodestar.dll", L"LodestarEng.lng", L"LodestarRus.lng"))
            << Case.Name;
        if (!Case.Tmp.empty() && tagstest::ReadFileBytes(Given) != "") {
            EXPECT_EQ(tagstest::ReadFileBytes(Given), WideToUtf8(Dir / L"main.c"))
                << Case.Name << ": ctags was given a snapshot written outside the temporary folder";
            ::DeleteFileW(Given.c_str());
        }
        if (Case.Tmp != NotAFolder) {
            EXPECT_THAT(LeftIn(Case.Tmp.empty() ? TempDir : Case.Tmp), IsEmpty()) << Case.Name;
        }
    }
    EXPECT_THAT(Problems, IsEmpty());
}
