#include "tags/uTagsRefresh.h"

#include "base/Handle.h"
#include "base/uStrings.h"
#include "base/uSystem.h"
#include "tags/uTagsFile.h"
#include "tags/uTagsMaker.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <unordered_map>

namespace {

// What tells a file written over by someone else from the one read.
struct TFileStamp {
    std::uint64_t Size = 0;
    std::uint64_t Time = 0;
    bool operator==(const TFileStamp& Other) const noexcept { return Size == Other.Size && Time == Other.Time; }
};

std::uint64_t TimeOf(const FILETIME& Time) noexcept
{
    return (std::uint64_t(Time.dwHighDateTime) << 32) | Time.dwLowDateTime;
}

bool StampOf(const std::wstring& Path, TFileStamp& Stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA Data{};
    if (!::GetFileAttributesExW(Path.c_str(), GetFileExInfoStandard, &Data))
        return false;
    Stamp = {(std::uint64_t(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow, TimeOf(Data.ftLastWriteTime)};
    return true;
}

unsigned char Folded(char C) noexcept
{
    const auto Byte = static_cast<unsigned char>(C);
    return Byte >= 'a' && Byte <= 'z' ? static_cast<unsigned char>(Byte - 'a' + 'A') : Byte;
}

// The order of a sorted tags file as its reader searches it: by name,
// upper-cased in a foldcase file, a shorter name first; then the rest of
// the line as bytes, which keeps equal names in a fixed order.
bool LineLess(std::string_view A, std::string_view B, bool Fold) noexcept
{
    const std::string_view NameA = A.substr(0, A.find('\t')), NameB = B.substr(0, B.find('\t'));
    const size_t Common = std::min(NameA.size(), NameB.size());
    for (size_t I = 0; I < Common; ++I) {
        const unsigned char X = Fold ? Folded(NameA[I]) : static_cast<unsigned char>(NameA[I]);
        const unsigned char Y = Fold ? Folded(NameB[I]) : static_cast<unsigned char>(NameB[I]);
        if (X != Y)
            return X < Y;
    }
    if (NameA.size() != NameB.size())
        return NameA.size() < NameB.size();
    return A < B;
}

// Writes a file through a buffer; Failed tells whether every byte got there.
class TBufferedFile {
public:
    explicit TBufferedFile(const std::wstring& Path)
        : FFile(
              ::CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
        FFailed = !FFile;
    }
    void Write(std::string_view Bytes)
    {
        FBuffer.append(Bytes);
        if (FBuffer.size() >= (1u << 20))
            Flush();
    }
    bool Close()
    {
        Flush();
        FFile.reset();
        return !FFailed;
    }

private:
    void Flush()
    {
        for (size_t Done = 0; !FFailed && Done < FBuffer.size();) {
            DWORD Written = 0;
            const DWORD Count = static_cast<DWORD>(std::min<size_t>(FBuffer.size() - Done, 1u << 24));
            FFailed = !::WriteFile(FFile.get(), FBuffer.data() + Done, Count, &Written, nullptr) || Written == 0;
            Done += Written;
        }
        FBuffer.clear();
    }

    TFileHandle FFile;
    std::string FBuffer;
    bool FFailed = false;
};

// The source file as the tags file's lines name it: relative to its
// folder when it lies below it, with the separator the lines use.
std::wstring NameInTags(const std::wstring& Source, const std::wstring& Folder, wchar_t Separator)
{
    const std::wstring Prefix = Folder + L"\\";
    std::wstring Name = Source;
    if (Source.size() > Prefix.size() && UpperCaseText(Source.substr(0, Prefix.size())) == UpperCaseText(Prefix))
        Name = Source.substr(Prefix.size());
    std::replace(Name.begin(), Name.end(), L'\\', Separator);
    return Name;
}

// The separator of the first file field that has one among the first
// lines; a backslash when none has.
wchar_t SeparatorOf(const TTagsFile& File)
{
    std::uint64_t Pos = File.TagsBegin();
    TTagsFile::TNameRef Ref;
    for (int Lines = 0; Lines < 4096 && File.NextName(Pos, Ref); ++Lines) {
        const size_t Sep = Ref.File.find_first_of("/\\");
        if (Sep != std::string_view::npos)
            return static_cast<wchar_t>(Ref.File[Sep]);
    }
    return L'\\';
}

// The tag lines of ctags' output, without pseudo tags and line breaks.
std::vector<std::string_view> TagLinesOf(std::string_view Output)
{
    std::vector<std::string_view> Lines;
    for (size_t Start = 0; Start < Output.size();) {
        size_t End = Output.find('\n', Start);
        if (End == std::string_view::npos)
            End = Output.size();
        std::string_view Line = Output.substr(Start, End - Start);
        Start = End + 1;
        if (!Line.empty() && Line.back() == '\r')
            Line.remove_suffix(1);
        if (!Line.empty() && Line.rfind("!_", 0) != 0)
            Lines.push_back(Line);
    }
    return Lines;
}

} // namespace

TTagsRefresh::TOutcome TTagsRefresh::Refresh(const std::wstring& TagsPath, const std::vector<std::wstring>& Sources)
{
    try {
        const std::wstring ExePath = TCtags::ResolveProgram(FExecutableName);
        const TCtagsFlavour Flavour = TCtags::DetectFlavour(ExePath, OnTurn);
        std::wstring Folder;
        wchar_t Separator = L'\\';
        {
            const TTagsFile Old(TagsPath);
            if (Old.Format().Flavour() != Flavour)
                return TOutcome::Foreign;
            Folder = Old.Folder();
            Separator = SeparatorOf(Old);
        }

        // ctags on the sources that are still there, named as the other
        // lines name theirs.
        std::wstring Names;
        for (const std::wstring& Source : Sources)
            if (FileExists(Source))
                Names += L" " + QuotedStr(NameInTags(Source, Folder, Separator));
        TReservedStream Output(ProcessOutputLimit);
        if (!Names.empty()) {
            const std::wstring Temp = MakePrivateFolder(GetTempDirectory(), TCtags::RunFolderPrefix);
            if (Temp.empty())
                return TOutcome::Failed;
            const auto RemoveTemp = ScopeExit([&] { DeleteTempFile(Temp); });
            TProcessOptions Options;
            Options.Program = ExePath;
            Options.Directory = Folder;
            Options.Environment = {L"TMP=" + Temp, L"TEMP=" + Temp};
            TMemoryStream Input;
            TReservedStream Errors(ProcessErrorLimit);
            if (!Output.Ready() || !Errors.Ready())
                return TOutcome::Failed;
            TProcessStatus Status;
            std::uint32_t ExitCode = 0;
            RunProcess(QuotedStr(ExePath) + std::wstring(TTagsMaker::FileArgumentsFor(Flavour)) + Names.substr(1),
                       &Input, &Output, &Errors, ExitCode, SW_HIDE, NORMAL_PRIORITY_CLASS, {}, {}, 0, OnTurn, Options,
                       &Status);
            if (Status.Failure != TProcessFailure::None || ExitCode != 0)
                return TOutcome::Failed;
        }
        std::vector<std::string_view> Fresh = TagLinesOf(Output.Bytes());

        std::set<std::wstring> Wanted;
        for (const std::wstring& Source : Sources)
            Wanted.insert(UpperCaseText(ExpandFileName(Source)));
        const std::wstring New = TTagsMaker::MakeNewFile(TagsPath);
        const auto RemoveNew = ScopeExit([&] { ::DeleteFileW(New.c_str()); });
        TFileStamp Read;
        {
            const TTagsFile Old(TagsPath);
            Read = {Old.Size(), TimeOf(Old.LastWrite())};
            const TTagsFileOrder Order = Old.Format().Order();
            const bool Fold = Order == TTagsFileOrder::FoldCase;
            if (Order != TTagsFileOrder::Unsorted)
                std::sort(Fresh.begin(), Fresh.end(),
                          [Fold](std::string_view A, std::string_view B) { return LineLess(A, B, Fold); });
            const std::string_view Bytes = Old.Bytes();
            const size_t FirstBreak = Bytes.find('\n');
            const std::string_view Eol =
                FirstBreak != std::string_view::npos && FirstBreak > 0 && Bytes[FirstBreak - 1] == '\r' ? "\r\n" : "\n";
            TBufferedFile Out(New);
            Out.Write(Bytes.substr(0, Old.TagsBegin()));
            auto Next = Fresh.begin();
            const auto Put = [&](std::string_view Line) {
                Out.Write(Line);
                Out.Write(Eol);
            };
            // Each spelling of a file is resolved once: a project has
            // thousands of files and millions of lines.
            std::unordered_map<std::string_view, bool> Known;
            std::uint64_t Pos = Old.TagsBegin();
            TTagsFile::TNameRef Ref;
            while (Old.NextName(Pos, Ref)) {
                auto [Found, Added] = Known.try_emplace(Ref.File, false);
                if (Added)
                    Found->second = Wanted.count(UpperCaseText(Old.ResolveFile(Ref.File))) > 0;
                if (Found->second)
                    continue;
                const std::string_view Line = Old.LineAt(Ref.Offset);
                while (Order != TTagsFileOrder::Unsorted && Next != Fresh.end() && LineLess(*Next, Line, Fold))
                    Put(*Next++);
                Put(Line);
            }
            while (Next != Fresh.end())
                Put(*Next++);
            if (!Out.Close())
                return TOutcome::Failed;
        }
        // The replace is the one step a reader can see: only over the file
        // that was read, and never while it is mapped by a lookup, which
        // lets go of it within moments.
        for (int Attempt = 0;; ++Attempt) {
            TFileStamp Now;
            if (!StampOf(TagsPath, Now) || !(Now == Read))
                return TOutcome::Changed;
            if (::MoveFileExW(New.c_str(), TagsPath.c_str(), MOVEFILE_REPLACE_EXISTING))
                return TOutcome::Refreshed;
            const DWORD Error = ::GetLastError();
            if (Attempt == 20 ||
                (Error != ERROR_ACCESS_DENIED && Error != ERROR_SHARING_VIOLATION && Error != ERROR_USER_MAPPED_FILE))
                return TOutcome::Failed;
            if (OnTurn)
                OnTurn();
            ::Sleep(50);
        }
    } catch (const Exception&) {
        return TOutcome::Failed;
    }
}
