// Every tag of a project's tags file, for a list filtered as the user types:
// the names upper-cased once, in one buffer, with each tag's line in the
// file and its source file, so that a filter change is one pass over the
// names. It holds no mapping of the tags file (which would keep anyone from
// replacing it); the entries are read from a TTagsFile opened for the list.
//
// Reading a large file's names takes a second or more, most of it the
// system handing out hundreds of megabytes of fresh memory; so an index is
// saved once made, and the next process maps the saved one instead, while
// the tags file's path, size and time stay the same (and copies only the
// names, when a filter first needs them).
#pragma once

#include "base/uMappedFile.h"
#include "tags/uTagsFile.h"

#include <atomic>
#include <condition_variable>
#include <thread>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class TProjectIndex {
public:
    // The index of the file as it is; the process keeps the last one and
    // hands it out again while the file's path, size and time stay the same.
    // Stop, when set, ends a reading with EAbort.
    static std::shared_ptr<const TProjectIndex> Of(const TTagsFile& File, const std::atomic<bool>* Stop = nullptr);
    // The same when it needs no reading of the file (kept, or saved by an
    // earlier process); else null.
    static std::shared_ptr<const TProjectIndex> Known(const TTagsFile& File);
    // The first Cap tags of the file in its order that are not of the files
    // Excluded (FileNumbers), as where their lines start: the rows of a list
    // without a filter, had without reading the whole file.
    static std::vector<std::uint64_t> FirstTags(const TTagsFile& File, const std::vector<std::uint32_t>& Excluded,
                                                size_t Cap);

    // Read from the file; Stop, when set, ends the reading with EAbort.
    explicit TProjectIndex(const TTagsFile& File, const std::atomic<bool>* Stop = nullptr);

    // Where indexes are saved: a folder of the user's local application
    // data, or for tests one of their own. Empty: none are.
    static std::wstring StoreFolder();
    static void SetStoreFolder(const std::wstring& Folder);
    // The saved index of the file as it is, or null when there is none or
    // what is saved is not whole and sound.
    static std::shared_ptr<const TProjectIndex> Load(const TTagsFile& File);
    // Saves it as the index of File, replacing older ones of the same path;
    // false when it cannot be, with nothing left behind.
    bool Save(const TTagsFile& File) const noexcept;
    // A tags file as it was: what a saved index is the index of.
    struct TVersion {
        std::wstring Path;
        std::uint64_t Size = 0;
        FILETIME Written{};
        static TVersion Of(const TTagsFile& File) { return {File.Path(), File.Size(), File.LastWrite()}; }
    };
    // The same for the file as it was; Stop, when set, ends the writing
    // as a failure.
    bool Save(const TVersion& Version, const std::atomic<bool>* Stop) const noexcept;
    // What Of reads it saves on a thread of its own, so that the list need
    // not wait for hundreds of megabytes to be written. This waits until
    // that is done; with Stop, ends a save under way, leaving nothing of
    // it, and drops one that waits.
    static void FinishSaving(bool Stop = false) noexcept;
    // After a change to the tags file at Path: when an index of an earlier
    // version was kept or saved, one of the file as it is now is made and
    // saved, so that the next list need not read the file (false when
    // there was none, or Stop ended it).
    // With Always, made and saved whether or not there was one.
    static bool Renew(const std::wstring& Path, const std::atomic<bool>* Stop, bool Always = false);

    size_t Count() const noexcept { return FSplit + FViews[1].Count; }
    // What it holds in memory, about.
    size_t MemoryBytes() const noexcept;
    // Where tag I's line starts in the tags file.
    std::uint64_t Offset(size_t I) const noexcept { return PartOf(I).Offsets[I < FSplit ? I : I - FSplit]; }
    // Whether it was mapped from a saved index.
    bool Saved() const noexcept { return FStore.Size() != 0; }
    // Tag I's name upper-cased (ASCII letters; the rest as the file writes
    // them), and its source file's number (a hash of its field).
    std::string_view UpperName(size_t I) const noexcept { return PartOf(I).Name(I < FSplit ? I : I - FSplit); }
    std::uint32_t FileOf(size_t I) const noexcept { return PartOf(I).Files[I < FSplit ? I : I - FSplit]; }
    // The number of a source file (a full path, any spelling), or NoFile.
    static constexpr std::uint32_t NoFile = UINT32_MAX;
    std::uint32_t FileNumber(const TTagsFile& File, const std::wstring& FileName) const;
    // The numbers the file may have in File, one for each way of writing
    // its name.
    static std::vector<std::uint32_t> FileNumbers(const TTagsFile& File, const std::wstring& FileName);

    // The tags whose upper-cased name holds UpperText (UTF-8, upper-cased
    // as above; empty: every tag), or with Fuzzy its bytes in order with
    // gaps, not of the file Excluded and, when Kinds is given, of the kind
    // wanted (KindOf).
    struct TQuery {
        std::string_view UpperText;
        bool Fuzzy = false;
        std::uint32_t Excluded = NoFile;
        size_t Cap = 0;
        const std::vector<std::uint16_t>* Kinds = nullptr;
        std::uint16_t Kind = 0;
        // How many of the best matches to find wherever they are.
        size_t BestCount = 0;
    };
    // How many match in all, the first Cap of them in the file's order, and
    // the best BestCount as their upper-cased names tell (the whole name,
    // its start, a word's start after '_', ':', '.' or '-', anywhere, then
    // scattered by how few and short the gaps), best first, the earlier
    // first among equals. A name's case is not known here: who shows the
    // rows ranks them again by their names.
    struct TFound {
        size_t Count = 0;
        std::vector<std::uint32_t> First;
        std::vector<std::uint32_t> Best;
    };
    TFound Find(const TQuery& Query) const;

    // The kind of every tag, as a number into KindNames; read on first
    // need (a pass over the file), then kept.
    struct TKinds {
        std::vector<std::uint16_t> Of;
        std::vector<std::wstring> Names;
    };
    const TKinds& Kinds(const TTagsFile& File) const;

private:
    TProjectIndex() = default;

    // The tags of one half of the file, read on a thread of their own and
    // kept apart (joining them would copy hundreds of megabytes).
    struct TPart {
        std::vector<char> Names;               // each name upper-cased, then a NUL
        std::vector<std::uint32_t> NameStarts; // one more than there are names
        std::vector<std::uint64_t> Offsets;
        std::vector<std::uint32_t> Files;
    };
    // What is searched: a part's arrays, or the same in a saved index.
    struct TView {
        const char* Names = nullptr;
        const std::uint32_t* NameStarts = nullptr;
        const std::uint64_t* Offsets = nullptr;
        const std::uint32_t* Files = nullptr;
        size_t Count = 0;

        std::string_view Name(size_t I) const noexcept
        {
            return {Names + NameStarts[I], NameStarts[I + 1] - NameStarts[I] - 1};
        }
    };
    static void ReadPart(const TTagsFile& File, std::uint64_t Begin, std::uint64_t End, TPart& Part,
                         const std::atomic<bool>* Stop);
    const TView& PartOf(size_t I) const noexcept { return FViews[I < FSplit ? 0 : 1]; }
    bool MapSaved(const TTagsFile& File, const std::wstring& Path);
    // The saved index of File, else one read from it and saved; kept.
    static std::shared_ptr<const TProjectIndex> LoadOrMake(const TTagsFile& File, const std::atomic<bool>* Stop);
    // One read from File, saved (with SaveLater by the saver's thread) and
    // kept.
    static std::shared_ptr<const TProjectIndex> Make(const TTagsFile& File, const std::atomic<bool>* Stop,
                                                     bool SaveLater);
    // One thread, one index waiting at most.
    class TSaver {
    public:
        TSaver() = default;
        ~TSaver();
        TSaver(const TSaver&) = delete;
        TSaver& operator=(const TSaver&) = delete;
        // False when no thread can be had: the caller saves it itself.
        bool Add(TVersion Version, std::shared_ptr<const TProjectIndex> Index);
        void Finish(bool Stop) noexcept;

    private:
        void Work() noexcept;

        std::mutex FLock;
        std::condition_variable FWake;
        std::thread FThread;
        TVersion FVersion;
        std::shared_ptr<const TProjectIndex> FIndex;
        bool FQuit = false;
        std::atomic<bool> FStop = false;
    };
    static TSaver& Saver();
    void OwnNames() const;

    // Mutable for the names a saved index copies on first need.
    mutable TPart FParts[2];
    mutable TView FViews[2];
    mutable std::once_flag FNamesOwned;
    TMappedFile FStore; // the saved index, when it came from one
    size_t FSplit = 0;  // the first tag of the second part
    mutable std::unique_ptr<TKinds> FKinds;
};
