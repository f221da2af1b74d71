// A project's tags file, as Universal Ctags and Exuberant Ctags write it
// (tags(5)), read over its mapped bytes: the tags of one name found without
// reading the whole file, every name handed out as a view into the file,
// and the tags of one source file.
#pragma once

#include "base/uMappedFile.h"
#include "tags/uTagsFileFormat.h"
#include "tags/uTagsIndex.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A tags file that cannot be read; ErrorCode is the system's.
LODESTAR_DECLARE_EXCEPTION(ETagsFileError, EInOutError);

// One tag of a tags file, decoded.
struct TTagsFileEntry {
    std::wstring Name;
    // The source file's full path: relative names resolved against the
    // tags file's folder, / and \ alike.
    std::wstring File;
    // From 1; 0 when the tag has a pattern only and no line: field.
    std::int32_t Line = 0;
    std::optional<TTagPattern> Pattern;
    // In full where the file says it (see TTagsFileFormat::KindOf), else
    // the letter; may be empty.
    std::wstring Kind;
    // What it belongs to ("geo::Circle"); empty at file level.
    std::wstring Scope;
    // Where its line starts in the tags file.
    std::uint64_t Offset = 0;
};

// The project's tags file of SourceFile (a full path): the names of Names,
// separated by ";", taken in turn, each a file name looked for in the
// source file's folder and then in each folder above it up to the root of
// its drive or share (the nearest wins), or an absolute path used as it
// is. The full path of the first that exists, or "" when none does.
std::wstring FindTagsFile(const std::wstring& SourceFile, std::wstring_view Names);

// Case in a lookup of names: ASCII letters only, as ctags folds them.
enum class TTagCase : std::uint8_t { Sensitive, Blind };

// Its const operations may run on several threads at once. While one
// lives, the system lets no one rewrite the file or replace it by a rename
// (under wine: ERROR_USER_MAPPED_FILE and ERROR_ACCESS_DENIED): open one for
// a lookup or for a list's life, not for longer; opening costs less than a
// millisecond.
class TTagsFile {
public:
    // Opens and maps the file at Path (made a full path) and reads its
    // pseudo tags. Raises ETagsFileError, naming the file, when it cannot.
    explicit TTagsFile(const std::wstring& Path);
    TTagsFile(const TTagsFile&) = delete;
    TTagsFile& operator=(const TTagsFile&) = delete;

    const std::wstring& Path() const noexcept { return FPath; }
    // The folder relative file names start from, without its backslash.
    const std::wstring& Folder() const noexcept { return FFolder; }
    const TTagsFileFormat& Format() const noexcept { return FFormat; }
    // The whole file's bytes, mapped.
    std::string_view Bytes() const noexcept { return FFile.Bytes(); }
    std::uint64_t Size() const noexcept { return FFile.Size(); }
    const FILETIME& LastWrite() const noexcept { return FFile.LastWrite(); }

    // The tags of exactly Name, in the file's order: those of that case;
    // when there are none, those of any case.
    std::vector<TTagsFileEntry> FindTags(std::wstring_view Name) const;
    // Those of Name in one way. A sorted file is searched by halves over
    // its bytes, a foldcase one likewise without case; an unsorted one is
    // scanned once for an index that the process keeps (see TTagsIndex).
    std::vector<TTagsFileEntry> FindTags(std::wstring_view Name, TTagCase Case) const;

    // Every tag's name, one line at a time, as views into the mapped bytes:
    // Pos starts at TagsBegin(); Next gives the next tag line's name and
    // start and moves Pos past it, false at the end. Names are the file's
    // bytes (UTF-8 or Format().CodePage()), still escaped where the file
    // escapes: only a name holding a backslash needs DecodeName. File is
    // the source file's field as written (see ResolveFile).
    struct TNameRef {
        std::string_view Name;
        std::string_view File;
        std::uint64_t Offset;
    };
    std::uint64_t TagsBegin() const noexcept { return FFormat.TagsBegin(); }
    bool NextName(std::uint64_t& Pos, TNameRef& Ref) const noexcept;
    std::wstring DecodeName(std::string_view Name) const { return FFormat.Decode(FFormat.Unescaped(Name)); }

    // The tag whose line starts at Offset; none for a line that is not a
    // tag line.
    std::optional<TTagsFileEntry> ReadEntry(std::uint64_t Offset) const;
    // The bytes of the line that starts at Offset, without its line break.
    std::string_view LineAt(std::uint64_t Offset) const noexcept;
    // The tags whose source file is FileName (any spelling of its path),
    // in the file's order: one pass over the whole file.
    std::vector<TTagsFileEntry> FindTagsOfFile(const std::wstring& FileName) const;
    // The full path of a file field as written (still escaped).
    std::wstring ResolveFile(std::string_view Field) const;

private:
    void FindSorted(std::string_view Key, TTagCase Case, std::vector<std::uint64_t>& Offsets) const;
    void FindUnsorted(std::string_view Key, std::vector<std::uint64_t>& Offsets) const;
    std::vector<TTagsFileEntry> EntriesNamed(std::vector<std::uint64_t>& Offsets,
                                             const std::vector<std::string>& Spellings, TTagCase Case) const;

    std::wstring FPath;
    std::wstring FFolder;
    TMappedFile FFile;
    TTagsFileFormat FFormat;
    // An unsorted file's index, taken on the first lookup.
    mutable TCriticalSection FIndexLock;
    mutable std::shared_ptr<const TTagsIndex> FIndex;
};
