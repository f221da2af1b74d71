// Tag extraction: runs ctags on one source file and keeps its tags sorted by
// name without regard to case, then by scope, then by line.
#pragma once

#include "base/Exception.h"
#include "base/uProcess.h"

#include <cstdint>
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

LODESTAR_DECLARE_EXCEPTION(ECtagsError_CtagsNotFound, ECtagsError);

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
    // What ctags is started with, after the executable.
    static constexpr std::wstring_view Arguments = L" -f - --fields=Ks -n --format=2 ";

    TCtags() = default;
    TCtags(const TCtags&) = delete;
    TCtags& operator=(const TCtags&) = delete;

    const std::wstring& GetExecutableName() const noexcept { return FExecutableName; }
    // An absolute path, or a name looked for in the folders of PATH only
    // (see FindProgram).
    void SetExecutableName(std::wstring Value) { FExecutableName = std::move(Value); }

    // Runs ctags on FileName and replaces the items. Raises
    // ECtagsError_CtagsNotFound or ECtagsError_ExecutionFailed, leaving the
    // items as they were; the current directory is restored on every path.
    // Output too large to read is an ECtagsError, never an empty list.
    void LoadFromFile(const std::wstring& FileName);

    // The caller's turn while ctags runs (see TProcessTurnEvent): what it
    // raises ends ctags and passes out of LoadFromFile.
    TProcessTurnEvent OnTurn;

    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    // Valid until the next LoadFromFile; raises EArgumentOutOfRangeException
    // outside 0 .. Count() - 1.
    TCtagsItem* GetItem(int Index) const;
    TCtagsItem* operator[](int Index) const { return GetItem(Index); }

    // One line of ctags output as an item, or null when the line breaks the
    // format (TAB-separated fields: name, file, line number followed by ;"
    // and kind, then extension fields "key:value" in any order, of which the
    // scope is kept and the rest skipped).
    static std::unique_ptr<TCtagsItem> ParseTagLine(std::wstring_view Text);
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
    // ParseTagLine) are skipped.
    static std::vector<TTagRef> ParseTagLines(std::wstring_view Text);
    // Refs in the order of ItemLess; refs it does not tell apart keep their
    // order.
    static void SortTagRefs(std::vector<TTagRef>& Refs);

private:
    std::wstring FExecutableName = L"ctags.exe";
    // GetItem hands out writable items of a const list.
    mutable std::vector<TCtagsItem> FItems;
};
