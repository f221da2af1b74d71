// Tag extraction: runs ctags on one source file and keeps its tags sorted by
// name without regard to case, then by scope, then by line.
#pragma once

#include "base/Exception.h"
#include "base/uProcess.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// ctags failures; the error code of EInOutError stays 0.
class ECtagsError : public EInOutError {
public:
    explicit ECtagsError(std::wstring Message) : EInOutError(std::move(Message), 0) {}
    const wchar_t* ClassName() const noexcept override { return L"ECtagsError"; }
};

// ctags is not there, or the system would not start it: the message names
// what was asked for, and Reason() is the system's text where it gave one.
class ECtagsError_CtagsNotFound : public ECtagsError {
public:
    explicit ECtagsError_CtagsNotFound(std::wstring Message, std::wstring Reason = std::wstring())
        : ECtagsError(std::move(Message)), FReason(std::move(Reason))
    {
    }
    const wchar_t* ClassName() const noexcept override { return L"ECtagsError_CtagsNotFound"; }
    const std::wstring& Reason() const noexcept { return FReason; }

private:
    std::wstring FReason;
};
// The path set for ctags is anchored by the current drive ("\bin\ctags.exe",
// "C:ctags.exe"), so which file it names changes with the panel's drive: it
// is not used. The message is the path.
LODESTAR_DECLARE_EXCEPTION(ECtagsError_PathNotFull, ECtagsError);
// The file found is not a program image (a command script, a text), which
// is never run. The message is its path.
LODESTAR_DECLARE_EXCEPTION(ECtagsError_NotAProgram, ECtagsError);
// What the run needs could not be made (a pipe, a temporary file or folder,
// an event, the list of inherited handles). The message is the system's
// reason.
LODESTAR_DECLARE_EXCEPTION(ECtagsError_SetupFailed, ECtagsError);
// The folder ctags runs in cannot be used. The message is the folder,
// Reason() the system's text.
class ECtagsError_FolderUnusable : public ECtagsError {
public:
    ECtagsError_FolderUnusable(std::wstring Folder, std::wstring Reason)
        : ECtagsError(std::move(Folder)), FReason(std::move(Reason))
    {
    }
    const wchar_t* ClassName() const noexcept override { return L"ECtagsError_FolderUnusable"; }
    const std::wstring& Reason() const noexcept { return FReason; }

private:
    std::wstring FReason;
};
// ctags wrote more than a run holds, to its standard output or (Errors) to
// its standard error: it was ended, and nothing it wrote is taken.
class ECtagsError_OutputTooLarge : public ECtagsError {
public:
    ECtagsError_OutputTooLarge(bool Errors, std::uint64_t Limit)
        : ECtagsError(L"ctags wrote more than " + std::to_wstring(Limit) + L" bytes"), FErrors(Errors), FLimit(Limit)
    {
    }
    const wchar_t* ClassName() const noexcept override { return L"ECtagsError_OutputTooLarge"; }
    bool Errors() const noexcept { return FErrors; }
    std::uint64_t Limit() const noexcept { return FLimit; }

private:
    bool FErrors;
    std::uint64_t FLimit;
};

class ECtagsError_ExecutionFailed : public ECtagsError {
public:
    ECtagsError_ExecutionFailed(std::int32_t ExitCode, std::wstring Message)
        : ECtagsError(std::move(Message)), FExitCode(ExitCode)
    {
    }
    const wchar_t* ClassName() const noexcept override { return L"ECtagsError_ExecutionFailed"; }
    std::int32_t ExitCode() const noexcept { return FExitCode; }

private:
    std::int32_t FExitCode;
};

// The two ctags that users have. Universal Ctags escapes names and field
// values and can mark the scope; Exuberant Ctags writes names as they are
// and knows none of the newer options.
enum class TCtagsFlavour : std::uint8_t { Universal, Exuberant };

class TCtagsItem {
public:
    TCtagsItem(std::wstring Name, std::wstring Kind, std::int32_t Line, std::wstring Scope = std::wstring())
        : Name(std::move(Name)), Kind(std::move(Kind)), Line(Line), Scope(std::move(Scope))
    {
    }

    std::wstring Name; // never empty
    std::wstring Kind; // never empty, spelled in full ("function")
    std::int32_t Line; // from 1 as ctags counts; never negative
    // What the tag belongs to as ctags names it ("geo::Circle", "Shape");
    // empty for a tag at file level.
    std::wstring Scope;
};

class TCtags {
public:
    // What ctags is started with, after the executable and before the file:
    // the tags on standard output, each with its line number, its kind in
    // full and its scope; Universal Ctags marks the scope and guesses the
    // language of a file without an extension from its first line.
    static std::wstring_view ArgumentsFor(TCtagsFlavour Flavour) noexcept;
    // Which ctags ExePath is, by what it says of its version: asked once
    // per executable while its size and time stay the same. A program that
    // does not say Universal is read as Exuberant, whose options every ctags
    // knows. OnTurn is the caller's turn while it answers.
    static TCtagsFlavour DetectFlavour(const std::wstring& ExePath, const TProcessTurnEvent& OnTurn = {});

    // The name of the folders ctags gets for its own temporary files, before
    // the process id (see MakePrivateFolder).
    static constexpr const wchar_t* RunFolderPrefix = L"ctagsrun";

    // The program ExecutableName names, as a run starts it: its full path.
    // Raises ECtagsError_PathNotFull, ECtagsError_CtagsNotFound or
    // ECtagsError_NotAProgram.
    static std::wstring ResolveProgram(const std::wstring& ExecutableName);
    // A run that Status says did not end by itself, as the ECtagsError that
    // tells why (nothing for TProcessFailure::None); Options are the run's.
    static void RaiseRunFailure(const TProcessStatus& Status, const TProcessOptions& Options,
                                const std::wstring& ExecutableName);
    // What ctags said on its standard error, for ECtagsError_ExecutionFailed.
    static std::wstring ErrorText(std::string_view Bytes);

    TCtags() = default;
    ~TCtags() { RemoveRunFolder(); }
    TCtags(const TCtags&) = delete;
    TCtags& operator=(const TCtags&) = delete;

    const std::wstring& GetExecutableName() const noexcept { return FExecutableName; }
    // An absolute path, or a name looked for in the folders of PATH only
    // (see FindProgram).
    void SetExecutableName(std::wstring Value) { FExecutableName = std::move(Value); }

    // Runs ctags on FileName and replaces the items. ctags is started by
    // the full path found, in its own folder (the process's current
    // directory is never changed), with a temporary folder of its own as
    // TMP and TEMP, removed after a failed run and kept for later after a
    // good one (see RemoveRunFolder). Raises an
    // ECtagsError of the classes above, or ECtagsError_ExecutionFailed,
    // leaving the items as they were; output too large to hold or read is
    // an ECtagsError too, never a partial or empty list.
    void LoadFromFile(const std::wstring& FileName);
    // A good run's temporary folder stays until the next run, this call or
    // the end of the object.
    void RemoveRunFolder() noexcept;

    // The caller's turn while ctags runs (see TProcessTurnEvent): what it
    // raises ends ctags and passes out of LoadFromFile.
    TProcessTurnEvent OnTurn;
    // The most of ctags' standard output and standard error a run holds.
    std::uint64_t OutputLimit = ProcessOutputLimit;
    std::uint64_t ErrorLimit = ProcessErrorLimit;

    int Count() const noexcept { return static_cast<int>(List().size()); }
    // Drops the tags whose line is not one of the lines 1 to Last: a tag
    // outside the text it was made from has no place to go to.
    void KeepLines(std::int32_t Last);
    // Valid until the next LoadFromFile; raises EArgumentOutOfRangeException
    // outside 0 .. Count() - 1.
    const TCtagsItem* GetItem(int Index) const;
    const TCtagsItem* operator[](int Index) const { return GetItem(Index); }
    // All of them, in order.
    const std::vector<TCtagsItem>& Items() const noexcept { return List(); }
    // The same, for others to keep without a copy: from now on the list
    // does not change, and the next load makes another.
    std::shared_ptr<const std::vector<TCtagsItem>> ShareItems();
    // A list of another run in their place, shared.
    void SetItems(std::shared_ptr<const std::vector<TCtagsItem>> Items) noexcept;

    // How the output is read; Universal until told otherwise.
    TCtagsFlavour GetFlavour() const noexcept { return FFlavour; }
    void SetFlavour(TCtagsFlavour Value) noexcept { FFlavour = Value; }

    // One line of ctags output as an item, or null when the line breaks the
    // format (TAB-separated fields: name, file, line number followed by ;"
    // and kind, then extension fields "key:value" in any order, of which the
    // scope is kept and the rest skipped). Universal Ctags' escapes are
    // undone, and its scope is the field "scope:KIND:NAME"; Exuberant's is
    // the one field "KIND:NAME" it writes.
    static std::unique_ptr<TCtagsItem> ParseTagLine(std::wstring_view Text,
                                                    TCtagsFlavour Flavour = TCtagsFlavour::Universal);
    // The order of the list: names without regard to case as the user's
    // locale compares them, then scopes the same way (none first), then
    // lines.
    static bool ItemLess(const TCtagsItem& A, const TCtagsItem& B);

    // What LoadFromFile does with the output of a successful run, and its
    // stages, each public so that they can be timed on their own: decoding
    // (DecodeText), parsing, sorting, and the items made from the result.
    void LoadFromOutput(std::string_view Bytes);
    // One tag line's fields, as views into the text it was parsed from.
    struct TTagRef {
        std::wstring_view Name;
        std::wstring_view Kind;
        std::int32_t Line;
        std::wstring_view Scope;
    };
    // The tag lines of Text in order; lines that break the format (see
    // ParseTagLine) are skipped. Escapes are undone in Text itself, which
    // the refs point into.
    static std::vector<TTagRef> ParseTagLines(std::wstring& Text, TCtagsFlavour Flavour = TCtagsFlavour::Universal);
    // Refs in the order of ItemLess; refs it does not tell apart keep their
    // order.
    static void SortTagRefs(std::vector<TTagRef>& Refs);
    // The positions of Refs in that order.
    static std::vector<std::uint32_t> SortOrder(const std::vector<TTagRef>& Refs);

    // ctags' output parsed a piece at a time as it grows, with the result
    // LoadFromOutput would get from the whole: the whole lines each Feed
    // sees that the last one did not (with Final, the rest too). Output
    // that only the whole can tell how to read (a byte-order mark, bytes
    // that are not UTF-8) makes it give up: Whole() is false then.
    class TOutputParser {
    public:
        explicit TOutputParser(TCtagsFlavour Flavour);
        ~TOutputParser();
        TOutputParser(const TOutputParser&) = delete;
        TOutputParser& operator=(const TOutputParser&) = delete;
        // Bytes is all the output so far; what Feed saw before is its start.
        void Feed(std::string_view Bytes, bool Final);
        bool Whole() const noexcept { return FWhole; }
        // The tags as items, made as they came, in the order of ItemLess.
        std::vector<TCtagsItem> SortedItems();

    private:
        TCtagsFlavour FFlavour;
        bool FWhole = true;
        size_t FDone = 0;
        // Each piece's decoded text, never moved: the refs point into them.
        std::deque<std::wstring> FTexts;
        // The tags in the output's order, as refs to sort by and as items.
        std::vector<TTagRef> FRefs;
        std::vector<TCtagsItem> FItems;
        // The refs sorted a piece at a time, as runs merged as they grow.
        struct TSortRuns;
        std::unique_ptr<TSortRuns> FRuns;
    };
    // How often the output is taken while ctags runs, in milliseconds.
    static constexpr DWORD OutputDrainInterval = 15;

private:
    // Refs sorted, as the items.
    void TakeRefs(std::vector<TTagRef>&& Refs);

    std::wstring FExecutableName = L"ctags.exe";
    TCtagsFlavour FFlavour = TCtagsFlavour::Universal;
    const std::vector<TCtagsItem>& List() const noexcept { return FShared ? *FShared : FItems; }
    // Where the items are: a list of their own, or one shared (then FItems
    // is empty).
    std::vector<TCtagsItem> FItems;
    std::shared_ptr<const std::vector<TCtagsItem>> FShared;
    // A good run's temporary folder, kept for later: removing it is time
    // the user would wait for the list.
    std::wstring FRunFolder;
};
