// A thousand commands in one host process, as a long session of the real
// host runs them: successes, cancellations and failures mixed, the filter
// waiting for a pause in typing (a worker thread each), Esc while ctags
// runs, a ctags that crashes and one that floods, through the built DLL.
// What the process holds (handles, private memory) and what lies in the
// temporary folder is printed at the start, after 100 and after 1,000
// commands: beyond the first 100 nothing may grow with the count, and the
// program fails when something does.
#include "BenchUtil.h"

#include "FarHost.h"
#include "bridge/TestConsole.h"
#include "MacroArgs.h"
#include "plugin/uPlugin.h"
#include "base/uStrings.h"

#include <psapi.h>

#include <cstdio>
#include <string>

using namespace bench;

namespace {

// Tags, in list order: area 8, main 14.
const char* const Source = "#include <stdio.h>\n\n\n\n\n\n\n"
                           "int area(int w, int h)\n{\n    return w * h;\n}\n\n\n"
                           "int main(void)\n{\n    return area(2, 3);\n}\n";

struct TFigures {
    DWORD Handles = 0;
    size_t PrivateBytes = 0;
    size_t TempEntries = 0;
};

// The process's open handles. Wine answers GetProcessHandleCount with 0, so
// every handle value is asked about instead, until a long run of values
// that are none.
DWORD CountHandles()
{
    DWORD Count = 0;
    DWORD Flags = 0;
    for (uintptr_t Value = 4, Gap = 0; Gap < 4096 && Value < (uintptr_t(1) << 22); Value += 4) {
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(Value), &Flags)) {
            ++Count;
            Gap = 0;
        } else {
            ++Gap;
        }
    }
    return Count;
}

TFigures Measure(const std::wstring& TempDir)
{
    TFigures Figures;
    Figures.Handles = CountHandles();
    PROCESS_MEMORY_COUNTERS_EX Memory{};
    Memory.cb = sizeof(Memory);
    // Windows gives the private bytes twice; wine only as the page file use.
    if (::K32GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&Memory),
                                  sizeof(Memory)))
        Figures.PrivateBytes = Memory.PrivateUsage ? Memory.PrivateUsage : Memory.PagefileUsage;
    Figures.TempEntries = toolsupport::LeftIn(TempDir).size();
    return Figures;
}

void Print(const char* When, const TFigures& Figures)
{
    std::printf("  %-22s handles %5lu, private memory %8.1f MB, temporary entries %zu\n", When, Figures.Handles,
                static_cast<double>(Figures.PrivateBytes) / 1048576.0, Figures.TempEntries);
    std::fflush(stdout);
}

int Run()
{
    TScratch Dir;
    const std::wstring TempDir = Dir / L"tmp";
    ::CreateDirectoryW(TempDir.c_str(), nullptr);
    ::SetEnvironmentVariableW(L"TMP", TempDir.c_str());
    ::SetEnvironmentVariableW(L"TEMP", TempDir.c_str());
    const std::wstring Dll = toolsupport::ProgramFolder() + L"\\Lodestar.dll";

    // Esc goes through a console of the program's own, as the user's would.
    TTestConsole Console;
    if (!Console.Ready()) {
        std::printf("no console for the keyboard\n");
        return 1;
    }
    TFarHost Host;
    Host.Settings().SetString(PluginGuidValue, L"", L"CtagsFileName", FakeCtags());
    Host.Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelayEnabled", 0);
    if (!Host.LoadDll(Dll)) {
        std::printf("the plugin did not load\n");
        return 1;
    }
    WriteFileBytes(Dir / L"main.c", Source);
    TEditor& Editor = Host.Editors().Open(Dir / L"main.c", CodePageToWide(CP_UTF8, Source));

    const TPluginInfoCopy Info = Host.GetPluginInfo();
    const auto Menu = [&] { Host.Open(far3::OPEN_EDITOR, &Info.PluginMenu.front().Guid, 0); };
    const auto Ctags = [&](const std::wstring& Path) {
        Host.Settings().SetString(PluginGuidValue, L"", L"CtagsFileName", Path);
    };
    const auto Delay = [&](int Milliseconds) {
        Host.Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelayEnabled", Milliseconds > 0);
        Host.Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelay", static_cast<uint64_t>(Milliseconds));
    };
    // One command of each kind in thirteen.
    const auto Command = [&](int I) {
        ::SetEnvironmentVariableW(L"FAKECTAGS_SCRIPT", nullptr);
        Editor.Unsaved = I % 2 == 0;
        // A text of its own each time, so that every command runs ctags: the
        // same text again would take the tags of its last run.
        Editor.Lines.back().Text = L"/* command " + std::to_wstring(I) + L" */";
        switch (I % 13) {
        case 0:
        case 1:
        case 2:
        case 3: // a jump
            Host.QueueDialogScript(TDialogScript().Type(L"ma").Enter());
            Menu();
            break;
        case 4: { // the macro call
            Host.QueueDialogScript(TDialogScript().Enter());
            TMacroArgs Args({TMacroValue::Str(L"execute")});
            OpenFromMacro(Host, Args);
            break;
        }
        case 5: // cancelled
            Host.QueueDialogScript(TDialogScript().Type(L"ar").Esc());
            Menu();
            break;
        case 6: // ctags fails
            UseScript(Dir, L"fail.txt", "err cannot parse\nexit 3\n");
            Menu();
            break;
        case 7: // ctags missing
            Ctags(Dir / L"missing.exe");
            Menu();
            Ctags(FakeCtags());
            break;
        case 8: // the options saved
            Host.QueueDialogScript(TDialogScript().Key(VK_TAB).Key(VK_TAB).Type(std::to_wstring(100 + I % 7)).Enter());
            Host.Configure();
            break;
        case 9: // no tags
            UseScript(Dir, L"none.txt", "exit 0\n");
            Menu();
            break;
        case 10: // the filter after a pause in typing
            Delay(30);
            Host.QueueDialogScript(TDialogScript().Type(L"ma").WaitForSynchro().Enter());
            Menu();
            Delay(0);
            break;
        case 11: // Esc while ctags runs; then a ctags that crashes
            UseScript(Dir, L"slow.txt", "sleep 2000\nctags\n");
            Console.Write({TTestConsole::Key(VK_ESCAPE)});
            Menu();
            Console.Flush();
            UseScript(Dir, L"crash.txt", "out main\tm\t14;\"\tfunction\n\ncrash\n");
            Menu();
            break;
        case 12: // a ctags that writes without end
            UseScript(Dir, L"flood.txt", "flood err\n");
            Menu();
            break;
        }
        // The host's own records would grow with every command.
        Host.ClearMessages();
        Host.ClearCalls();
        Host.Dialogs().ClearEvents();
        Host.Editors().PositionRequests.clear();
    };

    std::printf("1,000 commands in one host process (through Lodestar.dll):\n");
    const TFigures Start = Measure(TempDir);
    Print("at the start", Start);
    int Done = 0;
    for (; Done < 100; ++Done)
        Command(Done);
    const TFigures Hundred = Measure(TempDir);
    Print("after 100 commands", Hundred);
    for (; Done < 1000; ++Done)
        Command(Done);
    const TFigures Thousand = Measure(TempDir);
    Print("after 1,000 commands", Thousand);
    const long HandleGrowth = static_cast<long>(Thousand.Handles) - static_cast<long>(Hundred.Handles);
    const double MemoryGrowth =
        (static_cast<double>(Thousand.PrivateBytes) - static_cast<double>(Hundred.PrivateBytes)) / 1048576.0;
    const long TempGrowth = static_cast<long>(Thousand.TempEntries) - static_cast<long>(Hundred.TempEntries);
    std::printf("  from 100 to 1,000: handles %+ld, private memory %+.1f MB, temporary entries %+ld "
                "(target: nothing that grows with the count)\n",
                HandleGrowth, MemoryGrowth, TempGrowth);
    for (const std::wstring& Error : Host.Errors())
        std::printf("  host error: %ls\n", Error.c_str());
    Host.Unload();
    // What grows with the count is a leak, not a speed: 900 commands more
    // leave the same handles, no more temporary entries, and no more memory
    // than the heap's own slack.
    constexpr long HandleSlack = 2;
    constexpr double MemorySlackMB = 4.0;
    const bool Leaks = HandleGrowth > HandleSlack || MemoryGrowth > MemorySlackMB || TempGrowth > 0 ||
                       !Host.Errors().empty();
    std::printf("  %s\n", Leaks ? "FAILED: something grows with the number of commands" : "nothing grows");
    return Leaks ? 1 : 0;
}

} // namespace

int main()
{
    try {
        return Run();
    } catch (const std::exception& E) {
        std::printf("soak benchmark failed: %s\n", E.what());
        return 1;
    }
}
