#include "uCtags.h"

#include "Handle.h"
#include "uStrings.h"
#include "uSystem.h"

#include <algorithm>

namespace {

// Takes the field at Cursor (up to the next TAB or the end, possibly empty)
// and moves past it and its TAB; fails only at the end of the line.
bool NextField(std::wstring_view Text, size_t& Cursor, std::wstring_view& Field)
{
    if (Cursor >= Text.size())
        return false;
    const size_t Tab = Text.find(L'\t', Cursor);
    const size_t End = Tab == std::wstring_view::npos ? Text.size() : Tab;
    Field = Text.substr(Cursor, End - Cursor);
    Cursor = Tab == std::wstring_view::npos ? End : End + 1;
    return true;
}

} // namespace

std::unique_ptr<TCtagsItem> TCtags::ParseTagLine(std::wstring_view Text)
{
    if (Text.empty())
        return nullptr;
    size_t Cursor = 0;
    std::wstring_view Name, File, Address, Kind, Extra;
    if (!NextField(Text, Cursor, Name) || !NextField(Text, Cursor, File) || !NextField(Text, Cursor, Address) ||
        !NextField(Text, Cursor, Kind) || NextField(Text, Cursor, Extra))
        return nullptr;
    if (Name.empty() || Kind.empty())
        return nullptr;
    if (Address.size() <= 2 || Address.substr(Address.size() - 2) != L";\"")
        return nullptr;
    std::int32_t Line;
    if (!TryStrToInt32(Address.substr(0, Address.size() - 2), Line) || Line < 0)
        return nullptr;
    return std::make_unique<TCtagsItem>(std::wstring(Name), std::wstring(Kind), Line);
}

bool TCtags::ItemLess(const TCtagsItem& A, const TCtagsItem& B)
{
    const int Order = CompareTextLocale(A.Name, B.Name);
    return Order != 0 ? Order < 0 : A.Line < B.Line;
}

TCtagsItem* TCtags::GetItem(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EArgumentOutOfRangeException(L"Argument out of range");
    return FItems[static_cast<size_t>(Index)].get();
}

void TCtags::LoadFromFile(const std::wstring& FileName)
{
    TStrings Output;
    TStrings Errors;
    std::wstring ExePath = ExpandFileName(FExecutableName);
    std::wstring SavedDir;
    std::wstring WorkDir;
    if (FileExists(ExePath)) {
        SavedDir = GetCurrentDir();
        WorkDir = ExtractFileDir(ExePath);
    } else {
        // Left to the system's search when the child is started.
        ExePath = FExecutableName;
    }
    // Expanded before the directory changes, so that a relative name keeps
    // meaning the caller's current directory.
    const std::wstring CommandLine = QuotedStr(ExePath) + std::wstring(Arguments) + QuotedStr(ExpandFileName(FileName));

    std::uint32_t ExitCode = 0;
    bool Started;
    {
        const auto Restore = ScopeExit([&] {
            if (!SavedDir.empty())
                SetCurrentDir(SavedDir);
        });
        if (!WorkDir.empty())
            SetCurrentDir(WorkDir);
        Started = RunProcess(CommandLine, static_cast<const TStrings*>(nullptr), &Output, &Errors, ExitCode, SW_HIDE,
                             NORMAL_PRIORITY_CLASS);
    }
    if (!Started)
        throw ECtagsError_CtagsNotFound(L"ctags.exe not found: " + FExecutableName);
    if (ExitCode != 0) {
        std::wstring Text;
        for (const std::wstring& Line : Errors)
            Text += Line + L"\r\n";
        throw ECtagsError_ExecutionFailed(static_cast<std::int32_t>(ExitCode), TrimText(Text));
    }

    FItems.clear();
    FItems.reserve(Output.size());
    for (const std::wstring& Line : Output)
        if (auto Item = ParseTagLine(Line))
            FItems.push_back(std::move(Item));
    Sort();
}

void TCtags::Sort()
{
    // The order of ItemLess, with one system call per item for its sort key
    // instead of one per comparison: that made 100,000 tags take a second.
    struct TKeyed {
        std::string Key;
        std::unique_ptr<TCtagsItem> Item;
    };
    std::vector<TKeyed> Keyed;
    Keyed.reserve(FItems.size());
    for (auto& Item : FItems)
        Keyed.push_back({SortKeyLocale(Item->Name), std::move(Item)});
    std::sort(Keyed.begin(), Keyed.end(), [](const TKeyed& A, const TKeyed& B) {
        const int Order = A.Key.compare(B.Key);
        return Order != 0 ? Order < 0 : A.Item->Line < B.Item->Line;
    });
    for (size_t I = 0; I < Keyed.size(); ++I)
        FItems[I] = std::move(Keyed[I].Item);
}
