#include "plugin/uCtagsReport.h"

#include "base/uStrings.h"
#include "base/uSystem.h"
#include "base/Format.h"
#include "bridge/uFarPlugin.h"
#include "plugin/uMessages.h"

#include <algorithm>
#include <vector>

namespace {

// ctags may say thousands of lines; a box shows the first few.
constexpr size_t MaxErrorLines = 10;

// The limits are whole MiB, as the box says them.
constexpr std::uint64_t MiB = std::uint64_t(1) << 20;
static_assert(ProcessOutputLimit % MiB == 0 && ProcessErrorLimit % MiB == 0);

void ShowError(const std::vector<std::wstring>& Lines)
{
    TFarModule::Message(far3::FMSG_WARNING, Lines, 1);
}

} // namespace

std::wstring PluginFolder()
{
    const std::wstring Module = ModuleFileName(CurrentModule());
    return Module.empty() ? Module : ExtractFileDir(ExpandFileName(Module));
}

void ShowCtagsError(const ECtagsError& E, const std::wstring& Program, const std::wstring& Subject, bool Configured)
{
    if (const auto* Missing = dynamic_cast<const ECtagsError_CtagsNotFound*>(&E)) {
        // A file that is there but will not start is another matter than a
        // wrong path: the system says why.
        if (Missing->Reason().empty() && DirectoryExists(Program)) {
            ShowError({GetMsg(MTitle), GetMsg(MCtagsIsAFolder), Program, GetMsg(MOk)});
        } else if (Missing->Reason().empty() && !Configured) {
            // With nothing set, the user needs to know where to put it.
            const std::wstring Folder = PluginFolder();
            ShowError({GetMsg(MTitle), GetMsg(MCtagsNotFound), Program, GetMsg(MCtagsLookedFor),
                       Folder + L"\\ctags\\ctags.exe", Folder + L"\\ctags.exe", GetMsg(MCtagsOnPath), GetMsg(MOk)});
        } else if (Missing->Reason().empty()) {
            ShowError({GetMsg(MTitle), GetMsg(MCtagsNotFound), Program, GetMsg(MOk)});
        } else {
            ShowError({GetMsg(MTitle), GetMsg(MCtagsCannotStart), Program, Missing->Reason(), GetMsg(MOk)});
        }
    } else if (dynamic_cast<const ECtagsError_NotAProgram*>(&E)) {
        ShowError({GetMsg(MTitle), GetMsg(MCtagsCannotStart), E.Message(), GetMsg(MCtagsNotAProgram), GetMsg(MOk)});
    } else if (dynamic_cast<const ECtagsError_PathNotFull*>(&E)) {
        ShowError({GetMsg(MTitle), GetMsg(MCtagsPathNotFull), E.Message(), GetMsg(MOk)});
    } else if (dynamic_cast<const ECtagsError_SetupFailed*>(&E)) {
        ShowError({GetMsg(MTitle), GetMsg(MCtagsSetupFailed), E.Message(), GetMsg(MOk)});
    } else if (const auto* Folder = dynamic_cast<const ECtagsError_FolderUnusable*>(&E)) {
        ShowError({GetMsg(MTitle), GetMsg(MCtagsFolderUnusable), E.Message(), Folder->Reason(), GetMsg(MOk)});
    } else if (const auto* Large = dynamic_cast<const ECtagsError_OutputTooLarge*>(&E)) {
        ShowError(
            {GetMsg(MTitle),
             Format(GetMsg(Large->Errors() ? MCtagsErrorsTooLarge : MCtagsOutputTooLarge), {Large->Limit() / MiB}),
             Subject, GetMsg(MOk)});
    } else if (const auto* Failed = dynamic_cast<const ECtagsError_ExecutionFailed*>(&E)) {
        std::vector<std::wstring> Lines = {GetMsg(MTitle), GetMsg(MCtagsFailed)};
        // ctags may say several lines; a box shows each on its own, but not
        // thousands of them.
        const std::vector<std::wstring> Said = TFarModule::SplitLines(E.Message());
        const size_t Shown = std::min(Said.size(), MaxErrorLines);
        Lines.insert(Lines.end(), Said.begin(), Said.begin() + static_cast<std::ptrdiff_t>(Shown));
        if (Said.size() > MaxErrorLines)
            Lines.push_back(L"\u2026");
        Lines.push_back(Format(GetMsg(MCtagsExitCode), {Failed->ExitCode()}));
        Lines.push_back(GetMsg(MOk));
        ShowError(Lines);
    } else {
        ShowError({GetMsg(MTitle), GetMsg(MCtagsFailed), E.Message(), GetMsg(MOk)});
    }
}
