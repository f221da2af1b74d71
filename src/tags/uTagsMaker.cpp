#include "tags/uTagsMaker.h"

#include "base/Handle.h"
#include "base/uStrings.h"
#include "base/uSystem.h"
#include "tags/uTagsFile.h"

#include <atomic>
#include <cwchar>
#include <iterator>

namespace {

// The file's size now, 0 when it cannot be asked: ctags may not have
// opened it yet.
std::uint64_t SizeOf(const std::wstring& Path)
{
    WIN32_FILE_ATTRIBUTE_DATA Data{};
    if (!::GetFileAttributesExW(Path.c_str(), GetFileExInfoStandard, &Data))
        return 0;
    return (std::uint64_t(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow;
}

bool SameFolder(const std::wstring& A, const std::wstring& B)
{
    return UpperCaseText(ExpandFileName(A)) == UpperCaseText(ExpandFileName(B));
}

} // namespace

// Made here so that the name is ours and no one else's: ctags overwrites an
// empty file, as it overwrites a tags file. Its name ends in an extension no
// ctags parses, so the run that writes it does not read it.
std::wstring TTagsMaker::MakeNewFile(const std::wstring& TagsPath)
{
    // What a Far ended in the middle of a make or a refresh left beside the
    // tags file goes first.
    RemoveLeftoverFiles(TagsPath + TTagsMaker::NewFileInfix, L".tmp");
    static std::atomic<unsigned> Serial{0};
    DWORD Error = ERROR_FILE_EXISTS;
    for (int Attempt = 0; Attempt < 64 && Error == ERROR_FILE_EXISTS; ++Attempt) {
        wchar_t Suffix[48];
        std::swprintf(Suffix, std::size(Suffix), L"-%lx-%x.tmp", ::GetCurrentProcessId(), Serial.fetch_add(1));
        const std::wstring Path = TagsPath + TTagsMaker::NewFileInfix + Suffix;
        const TFileHandle File(::CreateFileW(Path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (File)
            return Path;
        Error = ::GetLastError();
    }
    throw ETagsFileNotReplaced(TagsPath, static_cast<int>(Error));
}

std::wstring_view TTagsMaker::ArgumentsFor(TCtagsFlavour Flavour) noexcept
{
    // Universal Ctags keeps the line number and the pattern in one address
    // (123;/^...$/), which the reader takes both from; Exuberant Ctags,
    // which knows no such address, writes the pattern with a line: field.
    return Flavour == TCtagsFlavour::Universal ? L" -R --format=2 --sort=yes --excmd=combine --fields=+KZ -f "
                                               : L" -R --format=2 --sort=yes --excmd=pattern --fields=+nK -f ";
}

std::wstring_view TTagsMaker::FileArgumentsFor(TCtagsFlavour Flavour) noexcept
{
    // The fields and address of ArgumentsFor, so that the new lines read as
    // the others do; unsorted, as the refresh sorts them itself.
    return Flavour == TCtagsFlavour::Universal ? L" --format=2 --sort=no --excmd=combine --fields=+KZ -f - "
                                               : L" --format=2 --sort=no --excmd=pattern --fields=+nK -f - ";
}

TTagsMaker::TResult TTagsMaker::Make(const std::wstring& Folder, const std::wstring& TagsPath)
{
    TResult Result;
    const std::wstring ExePath = TCtags::ResolveProgram(FExecutableName);
    std::wstring New;
    const TProcessTurnEvent Turn = [&] {
        if (OnTurn)
            OnTurn(New.empty() ? 0 : SizeOf(New));
    };
    Result.Flavour = TCtags::DetectFlavour(ExePath, Turn);

    New = MakeNewFile(TagsPath);
    // On every path: after the replace there is nothing left to delete.
    const auto RemoveNew = ScopeExit([&] { ::DeleteFileW(New.c_str()); });
    // ctags' own temporary files (a sort's, say) go where an Esc cannot
    // leave them behind.
    const std::wstring Temp = MakePrivateFolder(GetTempDirectory(), TCtags::RunFolderPrefix);
    if (Temp.empty())
        throw ECtagsError_SetupFailed(SystemErrorText(::GetLastError()));
    const auto RemoveTemp = ScopeExit([&] { DeleteTempFile(Temp); });

    // Run in the project's folder, ctags names its files relative to it,
    // which is where the tags file is; a tags file elsewhere gets the
    // folder as a full path, and full file names.
    std::wstring CommandLine = QuotedStr(ExePath) + std::wstring(ArgumentsFor(Result.Flavour)) + QuotedStr(New);
    if (!SameFolder(ExtractFileDir(TagsPath), Folder))
        CommandLine += L" " + QuotedStr(Folder);
    TProcessOptions Options;
    Options.Program = ExePath;
    Options.Directory = Folder;
    Options.Environment = {L"TMP=" + Temp, L"TEMP=" + Temp};
    Options.OutputLimit = OutputLimit;
    Options.ErrorLimit = ErrorLimit;
    TMemoryStream Input;
    TReservedStream Output(OutputLimit);
    TReservedStream Errors(ErrorLimit);
    if (!Output.Ready() || !Errors.Ready())
        throw ECtagsError_SetupFailed(SystemErrorText(ERROR_NOT_ENOUGH_MEMORY));
    TProcessStatus Status;
    std::uint32_t ExitCode = 0;
    RunProcess(CommandLine, &Input, &Output, &Errors, ExitCode, SW_HIDE, NORMAL_PRIORITY_CLASS, {}, {}, 0, Turn,
               Options, &Status);
    TCtags::RaiseRunFailure(Status, Options, FExecutableName);
    if (ExitCode != 0)
        throw ECtagsError_ExecutionFailed(static_cast<std::int32_t>(ExitCode), TCtags::ErrorText(Errors.Bytes()));

    Result.Bytes = SizeOf(New);
    if (Result.Bytes == 0)
        throw ECtagsError_NoTagsWritten(TagsPath);
    try {
        // Read as every lookup reads it, and let go of before the replace:
        // a mapped file cannot be renamed over.
        const TTagsFile Made(New);
        std::uint64_t Pos = Made.TagsBegin();
        TTagsFile::TNameRef Ref;
        while (Made.NextName(Pos, Ref))
            ++Result.Tags;
    } catch (const ETagsFileError& E) {
        throw ETagsFileNotReplaced(TagsPath, E.ErrorCode());
    }
    if (!::MoveFileExW(New.c_str(), TagsPath.c_str(), MOVEFILE_REPLACE_EXISTING))
        throw ETagsFileNotReplaced(TagsPath, static_cast<int>(::GetLastError()));
    return Result;
}
