#include "tags/uProjectIndex.h"

#include "base/Handle.h"
#include "base/uStrings.h"
#include "base/uSystem.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace {

// A source file's field as a number: a hash of its bytes as written, eight
// at a time. Two files with one number are all but unheard of, and what the
// number decides (leaving the edited file's stale entries out) is checked
// again on the rows shown.
// Where a tag line's name and file field end (its first two tabs); false
// for a header line or one without both fields, which the index skips.
bool SplitTagLine(std::string_view Line, size_t& Tab, size_t& FileEnd) noexcept
{
    Tab = FindByte(Line, 0, '\t');
    FileEnd = Tab < Line.size() ? FindByte(Line, Tab + 1, '\t') : Tab;
    return Tab != 0 && FileEnd < Line.size() && FileEnd > Tab + 1 && Line.substr(0, 2) != "!_";
}

std::uint32_t FileHash(std::string_view Field) noexcept
{
    std::uint64_t Hash = 0x9E3779B97F4A7C15ull ^ Field.size();
    size_t I = 0;
    for (; I + 8 <= Field.size(); I += 8) {
        std::uint64_t Word;
        std::memcpy(&Word, Field.data() + I, 8);
        Hash = (Hash ^ Word) * 0xFF51AFD7ED558CCDull;
        Hash ^= Hash >> 32;
    }
    std::uint64_t Tail = 0;
    std::memcpy(&Tail, Field.data() + I, Field.size() - I);
    Hash = (Hash ^ Tail) * 0xC4CEB9FE1A85EC53ull;
    Hash ^= Hash >> 29;
    const auto Result = static_cast<std::uint32_t>(Hash ^ (Hash >> 32));
    return Result == TProjectIndex::NoFile ? 0 : Result;
}

// What a part's lines are read from: the file itself through a handle of
// its own when it is still the one mapped (reading into a buffer that stays
// in the cache is quicker than touching every mapped page), else the
// mapping.
class TPartReader {
public:
    TPartReader(const TTagsFile& File) : FBytes(File.Bytes())
    {
        TFileHandle Handle(::CreateFileW(File.Path().c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        LARGE_INTEGER Size{};
        FILETIME Written{};
        if (Handle && ::GetFileSizeEx(Handle.get(), &Size) && ::GetFileTime(Handle.get(), nullptr, nullptr, &Written) &&
            static_cast<std::uint64_t>(Size.QuadPart) == File.Size() &&
            ::CompareFileTime(&Written, &File.LastWrite()) == 0)
            FHandle = std::move(Handle);
    }

    // Up to Length bytes from Offset into Buffer; how many.
    size_t Read(std::uint64_t Offset, char* Buffer, size_t Length)
    {
        if (Offset >= FBytes.size())
            return 0;
        Length = static_cast<size_t>(std::min<std::uint64_t>(Length, FBytes.size() - Offset));
        if (FHandle) {
            OVERLAPPED At{};
            At.Offset = static_cast<DWORD>(Offset);
            At.OffsetHigh = static_cast<DWORD>(Offset >> 32);
            DWORD Done = 0;
            if (::ReadFile(FHandle.get(), Buffer, static_cast<DWORD>(Length), &Done, &At) && Done == Length)
                return Length;
            FHandle.reset();
        }
        std::memcpy(Buffer, FBytes.data() + Offset, Length);
        return Length;
    }

private:
    std::string_view FBytes;
    TFileHandle FHandle;
};

} // namespace

void TProjectIndex::ReadPart(const TTagsFile& File, std::uint64_t Begin, std::uint64_t End, TPart& Part,
                             const std::atomic<bool>* Stop)
{
    // About 15 bytes of name and 140 of line per tag: room for that many.
    const size_t Guess = static_cast<size_t>((End - Begin) / 140 + 16);
    Part.Offsets.reserve(Guess);
    Part.Files.reserve(Guess);
    Part.NameStarts.reserve(Guess + 1);
    Part.Names.reserve(Guess * 16);
    TPartReader Reader(File);
    std::vector<char> Buffer(1 << 20);
    size_t Held = 0; // bytes of an unfinished line kept at the buffer's start
    std::uint64_t Pos = Begin;
    while (Pos + Held < End) {
        if (Stop && *Stop)
            Abort();
        if (Held == Buffer.size())
            Buffer.resize(Buffer.size() * 2); // a line longer than the buffer
        const size_t Got = Reader.Read(
            Pos + Held, Buffer.data() + Held,
            static_cast<size_t>(std::min<std::uint64_t>(Buffer.size() - Held, End - Pos - Held)));
        if (Got == 0)
            break;
        const size_t Length = Held + Got;
        const bool Last = Pos + Length >= End;
        const std::string_view Bytes(Buffer.data(), Length);
        size_t At = 0;
        for (;;) {
            const size_t Break = FindByte(Bytes, At, '\n');
            if (Break >= Length && (!Last || At == Length))
                break;
            const std::string_view Line = Bytes.substr(At, Break - At);
            size_t Tab = 0;
            size_t FileEnd = 0;
            if (SplitTagLine(Line, Tab, FileEnd)) {
                const size_t Start = Part.Names.size();
                Part.NameStarts.push_back(static_cast<std::uint32_t>(Start));
                Part.Names.resize(Start + Tab + 1);
                char* Out = Part.Names.data() + Start;
                for (size_t I = 0; I < Tab; ++I) {
                    const auto C = static_cast<unsigned char>(Line[I]);
                    Out[I] = static_cast<char>(C - (static_cast<unsigned>(C - 'a') < 26u ? 32 : 0));
                }
                Out[Tab] = '\0';
                Part.Offsets.push_back(Pos + At);
                Part.Files.push_back(FileHash(Line.substr(Tab + 1, FileEnd - Tab - 1)));
            }
            At = Break >= Length ? Length : Break + 1;
        }
        Pos += At;
        Held = Length - At;
        std::memmove(Buffer.data(), Buffer.data() + At, Held);
    }
    if (Part.Names.size() > UINT32_MAX)
        throw EArgumentOutOfRangeException(L"Too many names in the tags file");
    Part.NameStarts.push_back(static_cast<std::uint32_t>(Part.Names.size()));
}

namespace {

// Where the first line after Pos starts.
std::uint64_t LineStartAfter(std::string_view Bytes, std::uint64_t Pos)
{
    const size_t Break = FindByte(Bytes, static_cast<size_t>(Pos), '\n');
    return Break >= Bytes.size() ? Bytes.size() : Break + 1;
}

struct TCache {
    std::mutex Lock;
    std::wstring Path;
    std::uint64_t Size = 0;
    FILETIME Written{};
    std::shared_ptr<const TProjectIndex> Index;
};

TCache& Cache()
{
    static TCache Instance;
    return Instance;
}

void Keep(const TTagsFile& File, std::shared_ptr<const TProjectIndex> Index)
{
    TCache& Kept = Cache();
    const std::lock_guard Guard(Kept.Lock);
    // One at a time: a project's index can take hundreds of megabytes.
    Kept.Index = std::move(Index);
    Kept.Path = File.Path();
    Kept.Size = File.Size();
    Kept.Written = File.LastWrite();
}

// The saved indexes: a header, the tags file's full path upper-cased, then
// each part's offsets, name starts, file numbers and names, each array at
// a multiple of 8 bytes. Written and read by this build only (x64, little
// endian); another version of it is not read.
constexpr char SavedMagic[8] = {'L', 'S', 'P', 'I', 'D', 'X', '0', '1'};
// Indexes saved at once, of all projects: the oldest beyond go.
constexpr size_t SavedIndexes = 6;

struct TSavedHeader {
    char Magic[8];
    std::uint64_t TagsSize;
    std::uint64_t TagsTime;
    std::uint64_t PathChars;
    std::uint64_t Count[2];
    std::uint64_t NameBytes[2];
    std::uint64_t Size; // of the whole saved index
};

std::uint64_t Aligned(std::uint64_t Bytes) noexcept
{
    return (Bytes + 7) & ~std::uint64_t(7);
}

std::uint64_t TimeValue(const FILETIME& Time) noexcept
{
    return std::uint64_t(Time.dwHighDateTime) << 32 | Time.dwLowDateTime;
}

// Where each array of the saved index starts, from the header's counts; 0
// for the whole when they cannot be those of a sound index.
struct TSavedLayout {
    std::uint64_t Path = 0;
    std::uint64_t Offsets[2] = {}, NameStarts[2] = {}, Files[2] = {}, Names[2] = {};
    std::uint64_t Size = 0;

    explicit TSavedLayout(const TSavedHeader& Header) noexcept
    {
        constexpr std::uint64_t Bound = std::uint64_t(1) << 40;
        std::uint64_t At = sizeof(TSavedHeader);
        if (Header.PathChars > 32768)
            return;
        Path = At;
        At = Aligned(At + Header.PathChars * 2);
        for (int I = 0; I < 2; ++I) {
            if (Header.Count[I] >= Bound || Header.NameBytes[I] > UINT32_MAX)
                return;
            Offsets[I] = At;
            NameStarts[I] = At += Header.Count[I] * 8;
            Files[I] = At += (Header.Count[I] + 1) * 4;
            At = Aligned(At + Header.Count[I] * 4);
            Names[I] = At;
            At = Aligned(At + Header.NameBytes[I]);
        }
        Size = At;
    }
};

std::uint64_t PathHash(const std::wstring& UpperPath) noexcept
{
    std::uint64_t Hash = 14695981039346656037ull;
    for (const wchar_t C : UpperPath)
        Hash = (Hash ^ static_cast<std::uint16_t>(C)) * 1099511628211ull;
    return Hash;
}

std::wstring Hex(std::uint64_t Value)
{
    wchar_t Text[17];
    std::swprintf(Text, 17, L"%016llx", static_cast<unsigned long long>(Value));
    return Text;
}

// The saved index of the file as it is: the path's hash, then its size and
// time, so that a newer one never has to replace an older one still mapped.
std::wstring SavedPrefix(const std::wstring& Folder, const std::wstring& TagsPath)
{
    return Folder + L"\\" + Hex(PathHash(UpperCaseText(TagsPath))) + L"-";
}

std::wstring SavedName(const std::wstring& Folder, const TProjectIndex::TVersion& Version)
{
    return SavedPrefix(Folder, Version.Path) + Hex(Version.Size) + L"-" + Hex(TimeValue(Version.Written)) + L".index";
}

std::wstring SavedName(const std::wstring& Folder, const TTagsFile& File)
{
    return SavedName(Folder, TProjectIndex::TVersion::Of(File));
}

std::mutex GStoreLock;
std::wstring GStoreFolder;
bool GStoreFolderSet = false;

// Stop, when set, ends the writing between pieces as a failure.
bool WriteAll(HANDLE File, const void* Bytes, std::uint64_t Length, const std::atomic<bool>* Stop = nullptr) noexcept
{
    const char* At = static_cast<const char*>(Bytes);
    while (Length > 0) {
        if (Stop && *Stop)
            return false;
        const auto Piece = static_cast<DWORD>(std::min<std::uint64_t>(Length, 64u << 20));
        DWORD Done = 0;
        if (!::WriteFile(File, At, Piece, &Done, nullptr) || Done != Piece)
            return false;
        At += Piece;
        Length -= Piece;
    }
    return true;
}

bool WritePadding(HANDLE File, std::uint64_t Written) noexcept
{
    static const char Zeros[8] = {};
    return Aligned(Written) == Written || WriteAll(File, Zeros, Aligned(Written) - Written);
}

// Older indexes of the same tags file go, then the oldest of all beyond
// the bound, and what a process that died while saving left. One that is
// mapped or being written stays: its deletion fails, and a later save
// tries again.
void Prune(const std::wstring& Folder, const std::wstring& Prefix, const std::wstring& Current) noexcept
{
    try {
        struct TEntry {
            std::wstring Path;
            std::uint64_t Time;
        };
        std::vector<TEntry> Others;
        WIN32_FIND_DATAW Data;
        const TFindHandle Find(::FindFirstFileW((Folder + L"\\*").c_str(), &Data));
        if (!Find)
            return;
        do {
            if (Data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            const std::wstring Path = Folder + L"\\" + Data.cFileName;
            const std::wstring Ext = ExtractFileExt(Path);
            if (Ext == L".tmp" || (Ext == L".index" && Path != Current && Path.compare(0, Prefix.size(), Prefix) == 0))
                ::DeleteFileW(Path.c_str());
            else if (Ext == L".index" && Path != Current)
                Others.push_back({Path, TimeValue(Data.ftLastWriteTime)});
        } while (::FindNextFileW(Find.get(), &Data));
        std::sort(Others.begin(), Others.end(), [](const TEntry& A, const TEntry& B) { return A.Time > B.Time; });
        for (size_t I = SavedIndexes - 1; I < Others.size(); ++I)
            ::DeleteFileW(Others[I].Path.c_str());
    } catch (...) {
        // Left for the next save.
    }
}

} // namespace

std::wstring TProjectIndex::StoreFolder()
{
    const std::lock_guard Guard(GStoreLock);
    if (GStoreFolderSet)
        return GStoreFolder;
    wchar_t Buffer[MAX_PATH + 1];
    const DWORD Length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", Buffer, MAX_PATH + 1);
    if (Length == 0 || Length > MAX_PATH || !IsAbsolutePath(Buffer))
        return std::wstring();
    return std::wstring(Buffer) + L"\\Lodestar\\Project indexes";
}

void TProjectIndex::SetStoreFolder(const std::wstring& Folder)
{
    const std::lock_guard Guard(GStoreLock);
    GStoreFolder = Folder;
    GStoreFolderSet = true;
}

bool TProjectIndex::Save(const TTagsFile& File) const noexcept
{
    try {
        return Save(TVersion::Of(File), nullptr);
    } catch (...) {
        return false;
    }
}

bool TProjectIndex::Save(const TVersion& Version, const std::atomic<bool>* Stop) const noexcept
{
    std::wstring Temp;
    try {
        const std::wstring Folder = StoreFolder();
        if (Folder.empty())
            return false;
        ::CreateDirectoryW(ExtractFileDir(Folder).c_str(), nullptr);
        ::CreateDirectoryW(Folder.c_str(), nullptr);
        const std::wstring Name = SavedName(Folder, Version);
        const std::wstring Path = UpperCaseText(Version.Path);
        TSavedHeader Header{};
        std::memcpy(Header.Magic, SavedMagic, sizeof(SavedMagic));
        Header.TagsSize = Version.Size;
        Header.TagsTime = TimeValue(Version.Written);
        Header.PathChars = Path.size();
        for (int I = 0; I < 2; ++I) {
            Header.Count[I] = FViews[I].Count;
            Header.NameBytes[I] = FViews[I].NameStarts[FViews[I].Count];
        }
        Header.Size = TSavedLayout(Header).Size;
        if (Header.Size == 0)
            return false;
        // Written under a name of its own, then given its name in one step:
        // a reader sees the whole of it or nothing.
        // A list's save on its thread and a renewal on the refresh's may
        // write at once.
        Temp = Name + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetCurrentThreadId()) +
               L".tmp";
        {
            TFileHandle Out(::CreateFileW(Temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
            if (!Out)
                return false;
            bool Done = WriteAll(Out.get(), &Header, sizeof(Header)) &&
                        WriteAll(Out.get(), Path.data(), Path.size() * 2) &&
                        WritePadding(Out.get(), sizeof(Header) + Path.size() * 2);
            for (int I = 0; I < 2 && Done; ++I) {
                const TView& View = FViews[I];
                const std::uint64_t Names = Header.NameBytes[I];
                Done = WriteAll(Out.get(), View.Offsets, View.Count * 8, Stop) &&
                       WriteAll(Out.get(), View.NameStarts, (View.Count + 1) * 4, Stop) &&
                       WriteAll(Out.get(), View.Files, View.Count * 4, Stop) &&
                       WritePadding(Out.get(), (View.Count + 1) * 4 + View.Count * 4) &&
                       WriteAll(Out.get(), View.Names, Names, Stop) && WritePadding(Out.get(), Names);
            }
            if (!Done) {
                Out.reset();
                ::DeleteFileW(Temp.c_str());
                return false;
            }
        }
        if (!::MoveFileExW(Temp.c_str(), Name.c_str(), 0)) {
            // Saved already, by another process, or not at all.
            ::DeleteFileW(Temp.c_str());
            if (!FileExists(Name))
                return false;
        }
        Prune(Folder, SavedPrefix(Folder, Version.Path), Name);
        return true;
    } catch (...) {
        if (!Temp.empty())
            ::DeleteFileW(Temp.c_str());
        return false;
    }
}

bool TProjectIndex::MapSaved(const TTagsFile& File, const std::wstring& Path)
{
    if (!FStore.Open(Path))
        return false;
    const std::string_view Bytes = FStore.Bytes();
    TSavedHeader Header;
    if (Bytes.size() < sizeof(Header))
        return false;
    std::memcpy(&Header, Bytes.data(), sizeof(Header));
    const TSavedLayout Layout(Header);
    const std::wstring Wanted = UpperCaseText(File.Path());
    if (std::memcmp(Header.Magic, SavedMagic, sizeof(SavedMagic)) != 0 || Header.TagsSize != File.Size() ||
        Header.TagsTime != TimeValue(File.LastWrite()) || Layout.Size == 0 || Header.Size != Layout.Size ||
        Bytes.size() != Layout.Size || Header.PathChars != Wanted.size() ||
        std::memcmp(Bytes.data() + Layout.Path, Wanted.data(), Wanted.size() * 2) != 0)
        return false;
    // The name starts checked once, so that no search reads past the
    // names whatever the disk holds; an offset beyond the tags file reads
    // as an empty line.
    for (int I = 0; I < 2; ++I) {
        TView& View = FViews[I];
        View.Count = static_cast<size_t>(Header.Count[I]);
        View.Offsets = reinterpret_cast<const std::uint64_t*>(Bytes.data() + Layout.Offsets[I]);
        View.NameStarts = reinterpret_cast<const std::uint32_t*>(Bytes.data() + Layout.NameStarts[I]);
        View.Files = reinterpret_cast<const std::uint32_t*>(Bytes.data() + Layout.Files[I]);
        View.Names = Bytes.data() + Layout.Names[I];
        if (View.NameStarts[0] != 0 || View.NameStarts[View.Count] != Header.NameBytes[I])
            return false;
        bool Rising = true;
        for (size_t J = 0; J < View.Count; ++J)
            Rising &= View.NameStarts[J] < View.NameStarts[J + 1];
        if (!Rising)
            return false;
    }
    FSplit = FViews[0].Count;
    return true;
}

std::shared_ptr<const TProjectIndex> TProjectIndex::Load(const TTagsFile& File)
{
    const std::wstring Folder = StoreFolder();
    if (Folder.empty())
        return nullptr;
    std::shared_ptr<TProjectIndex> Index(new TProjectIndex());
    if (!Index->MapSaved(File, SavedName(Folder, File)))
        return nullptr;
    return Index;
}

std::shared_ptr<const TProjectIndex> TProjectIndex::Known(const TTagsFile& File)
{
    TCache& Kept = Cache();
    {
        const std::lock_guard Guard(Kept.Lock);
        if (Kept.Index && Kept.Path == File.Path() && Kept.Size == File.Size() &&
            ::CompareFileTime(&Kept.Written, &File.LastWrite()) == 0)
            return Kept.Index;
    }
    std::shared_ptr<const TProjectIndex> Index = Load(File);
    if (Index)
        Keep(File, Index);
    return Index;
}

std::shared_ptr<const TProjectIndex> TProjectIndex::Of(const TTagsFile& File, const std::atomic<bool>* Stop)
{
    if (auto Index = Known(File))
        return Index;
    return Make(File, Stop, true);
}

std::shared_ptr<const TProjectIndex> TProjectIndex::LoadOrMake(const TTagsFile& File, const std::atomic<bool>* Stop)
{
    if (std::shared_ptr<const TProjectIndex> Index = Load(File)) {
        Keep(File, Index);
        return Index;
    }
    return Make(File, Stop, false);
}

std::shared_ptr<const TProjectIndex> TProjectIndex::Make(const TTagsFile& File, const std::atomic<bool>* Stop,
                                                         bool SaveLater)
{
    auto Index = std::make_shared<const TProjectIndex>(File, Stop);
    if (!SaveLater || !Saver().Add(TVersion::Of(File), Index))
        Index->Save(File);
    Keep(File, Index);
    return Index;
}

void TProjectIndex::FinishSaving(bool Stop) noexcept
{
    Saver().Finish(Stop);
}

TProjectIndex::TSaver& TProjectIndex::Saver()
{
    static TSaver Instance;
    return Instance;
}

TProjectIndex::TSaver::~TSaver()
{
    Finish(true);
}

bool TProjectIndex::TSaver::Add(TVersion Version, std::shared_ptr<const TProjectIndex> Index)
{
    {
        const std::lock_guard Guard(FLock);
        // One waits at most: a newer list's index matters more than an
        // older one's, which stays in memory as long as it waits.
        FVersion = std::move(Version);
        FIndex = std::move(Index);
        if (!FThread.joinable()) {
            try {
                FThread = std::thread([this] { Work(); });
            } catch (const std::system_error&) {
                FIndex.reset();
                return false;
            }
        }
    }
    FWake.notify_one();
    return true;
}

void TProjectIndex::TSaver::Work() noexcept
{
    for (;;) {
        TVersion Version;
        std::shared_ptr<const TProjectIndex> Index;
        {
            std::unique_lock Guard(FLock);
            FWake.wait(Guard, [this] { return FIndex || FQuit; });
            if (!FIndex)
                return;
            Version = std::move(FVersion);
            Index = std::move(FIndex);
        }
        // Not saved: the next process reads the tags file again.
        Index->Save(Version, &FStop);
    }
}

void TProjectIndex::TSaver::Finish(bool Stop) noexcept
{
    std::thread Thread;
    {
        const std::lock_guard Guard(FLock);
        FQuit = true;
        if (Stop) {
            FStop = true;
            FIndex.reset();
        }
        Thread = std::move(FThread);
    }
    FWake.notify_all();
    if (Thread.joinable())
        Thread.join();
    const std::lock_guard Guard(FLock);
    FQuit = false;
    FStop = false;
}

bool TProjectIndex::Renew(const std::wstring& Path, const std::atomic<bool>* Stop, bool Always)
{
    bool Known = Always;
    {
        TCache& Kept = Cache();
        const std::lock_guard Guard(Kept.Lock);
        Known = Known || (Kept.Index && UpperCaseText(Kept.Path) == UpperCaseText(Path));
    }
    const std::wstring Folder = StoreFolder();
    if (!Known && !Folder.empty()) {
        WIN32_FIND_DATAW Data;
        Known = TFindHandle(::FindFirstFileW((SavedPrefix(Folder, Path) + L"*.index").c_str(), &Data)).valid();
    }
    if (!Known)
        return false;
    try {
        LoadOrMake(TTagsFile(Path), Stop);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

TProjectIndex::TProjectIndex(const TTagsFile& File, const std::atomic<bool>* Stop)
{
    // Two halves on two threads: reading the names is as quick as reading
    // the file, and there are two cores.
    const std::string_view Bytes = File.Bytes();
    const std::uint64_t Begin = File.TagsBegin();
    const std::uint64_t Middle = Bytes.size() > Begin + (1 << 20)
                                     ? LineStartAfter(Bytes, Begin + (Bytes.size() - Begin) / 2)
                                     : Bytes.size();
    std::exception_ptr Failure;
    std::thread Helper;
    if (Middle < Bytes.size()) {
        Helper = std::thread([&] {
            try {
                ReadPart(File, Middle, Bytes.size(), FParts[1], Stop);
            } catch (...) {
                Failure = std::current_exception();
            }
        });
    }
    const auto Join = ScopeExit([&] {
        if (Helper.joinable())
            Helper.join();
    });
    ReadPart(File, Begin, Middle, FParts[0], Stop);
    if (Helper.joinable())
        Helper.join();
    if (Failure)
        std::rethrow_exception(Failure);
    if (FParts[1].NameStarts.empty())
        FParts[1].NameStarts.push_back(0);
    for (int I = 0; I < 2; ++I) {
        TPart& Part = FParts[I];
        FViews[I] = {Part.Names.data(), Part.NameStarts.data(), Part.Offsets.data(), Part.Files.data(),
                     Part.Offsets.size()};
    }
    FSplit = FViews[0].Count;
}

size_t TProjectIndex::MemoryBytes() const noexcept
{
    size_t Bytes = (FKinds ? FKinds->Of.capacity() * 2 : 0) + FStore.Size();
    for (const TPart& Part : FParts)
        Bytes += Part.Names.capacity() + Part.NameStarts.capacity() * 4 + Part.Offsets.capacity() * 8 +
                 Part.Files.capacity() * 4;
    return Bytes;
}

std::uint32_t TProjectIndex::FileNumber(const TTagsFile& File, const std::wstring& FileName) const
{
    const std::vector<std::uint32_t> Wanted = FileNumbers(File, FileName);
    for (const TView& View : FViews)
        for (size_t I = 0; I < View.Count; ++I)
            if (std::find(Wanted.begin(), Wanted.end(), View.Files[I]) != Wanted.end())
                return View.Files[I];
    return NoFile;
}

std::vector<std::uint32_t> TProjectIndex::FileNumbers(const TTagsFile& File, const std::wstring& FileName)
{
    // As ctags writes it: relative to the tags file's folder with either
    // slash, or the full path; escaped where the file escapes.
    const std::wstring Folder = File.Folder() + L"\\";
    std::vector<std::wstring> Spellings = {FileName};
    if (FileName.size() > Folder.size() && UpperCaseText(FileName.substr(0, Folder.size())) == UpperCaseText(Folder)) {
        std::wstring Relative = FileName.substr(Folder.size());
        Spellings.push_back(Relative);
        std::replace(Relative.begin(), Relative.end(), L'\\', L'/');
        Spellings.push_back(Relative);
        Spellings.push_back(L"./" + Relative);
    }
    std::vector<std::uint32_t> Wanted;
    for (const std::wstring& Spelling : Spellings) {
        const std::string Bytes = File.Format().Encode(Spelling);
        Wanted.push_back(FileHash(Bytes));
        if (File.Format().Escaped() && Bytes.find('\\') != std::string::npos) {
            std::string Escaped;
            for (const char C : Bytes)
                Escaped += C == '\\' ? std::string("\\\\") : std::string(1, C);
            Wanted.push_back(FileHash(Escaped));
        }
    }
    return Wanted;
}

std::vector<std::uint64_t> TProjectIndex::FirstTags(const TTagsFile& File, const std::vector<std::uint32_t>& Excluded,
                                                    size_t Cap)
{
    // The lines the index would take.
    std::vector<std::uint64_t> Offsets;
    const std::string_view Bytes = File.Bytes();
    for (size_t At = static_cast<size_t>(File.TagsBegin()); At < Bytes.size() && Offsets.size() < Cap;) {
        const size_t Break = std::min(FindByte(Bytes, At, '\n'), Bytes.size());
        const std::string_view Line = Bytes.substr(At, Break - At);
        size_t Tab = 0;
        size_t FileEnd = 0;
        if (SplitTagLine(Line, Tab, FileEnd)) {
            const std::uint32_t Number = FileHash(Line.substr(Tab + 1, FileEnd - Tab - 1));
            if (std::find(Excluded.begin(), Excluded.end(), Number) == Excluded.end())
                Offsets.push_back(At);
        }
        At = Break + 1;
    }
    return Offsets;
}

namespace {

// The rank of a match as the upper-cased name tells it; the lesser is the
// better. Kinds in the top byte, the penalty of a scattered match below.
enum : std::uint32_t {
    WholeName = 0,
    NameStart = 1u << 24,
    WordStart = 2u << 24,
    Inside = 3u << 24,
    Scattered = 4u << 24
};

bool IsWordBreak(char C) noexcept
{
    return C == '_' || C == ':' || C == '.' || C == '-';
}

// Where Text occurs in Name first, or nullptr: the first byte by memchr,
// the rest compared where it is.
const char* Occurrence(const char* Name, size_t Length, std::string_view Text) noexcept
{
    if (Length < Text.size())
        return nullptr;
    const char* End = Name + Length - Text.size() + 1;
    for (const char* At = Name; At < End; ++At) {
        At = static_cast<const char*>(std::memchr(At, Text.front(), static_cast<size_t>(End - At)));
        if (!At)
            return nullptr;
        if (std::memcmp(At, Text.data(), Text.size()) == 0)
            return At;
    }
    return nullptr;
}

// Text's bytes in Name in order, each as early as it can be: UINT32_MAX
// when they are not, else 3 per gap and 1 per byte skipped.
std::uint32_t ScatteredPenalty(const char* Name, size_t Length, std::string_view Text) noexcept
{
    const char* At = Name;
    const char* End = Name + Length;
    std::uint32_t Penalty = 0;
    for (size_t J = 0; J < Text.size(); ++J) {
        const char* Found = static_cast<const char*>(std::memchr(At, Text[J], static_cast<size_t>(End - At)));
        if (!Found)
            return UINT32_MAX;
        if (J > 0 && Found != At)
            Penalty += 3 + static_cast<std::uint32_t>(Found - At);
        At = Found + 1;
    }
    return std::min<std::uint32_t>(Penalty, (1u << 24) - 1);
}

} // namespace

void TProjectIndex::OwnNames() const
{
    // Each filter change reads every name. Pages of a mapped file that sat
    // unread for a few seconds come back slowly (measured under wine: a
    // pass over 240 MB of names took 200 ms at once and 420 to 480 ms after
    // three idle seconds, memory of the process's own unchanged), so the
    // names are copied once a filter first needs them; opening the list
    // needs none.
    std::call_once(FNamesOwned, [this] {
        if (!Saved())
            return;
        for (int I = 0; I < 2; ++I) {
            TView& View = FViews[I];
            FParts[I].Names.assign(View.Names, View.Names + View.NameStarts[View.Count]);
            View.Names = FParts[I].Names.data();
        }
    });
}

TProjectIndex::TFound TProjectIndex::Find(const TQuery& Query) const
{
    TFound Found;
    const std::string_view Text = Query.UpperText;
    if (!Text.empty())
        OwnNames();
    // The best so far, the worst of them on top.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Best;
    Best.reserve(Query.BestCount + 1);
    const auto Offer = [&](std::uint32_t Key, std::uint32_t Tag) {
        if (Best.size() == Query.BestCount && (Query.BestCount == 0 || Key >= Best.front().first))
            return;
        Best.emplace_back(Key, Tag);
        std::push_heap(Best.begin(), Best.end());
        if (Best.size() > Query.BestCount) {
            std::pop_heap(Best.begin(), Best.end());
            Best.pop_back();
        }
    };
    for (size_t Half = 0; Half < 2; ++Half) {
        const TView& Part = FViews[Half];
        const size_t Base = Half == 0 ? 0 : FSplit;
        const size_t Count = Part.Count;
        const char* Names = Part.Names;
        const std::uint32_t* Starts = Part.NameStarts;
        for (size_t I = 0; I < Count; ++I) {
            if (Part.Files[I] == Query.Excluded || (Query.Kinds && (*Query.Kinds)[Base + I] != Query.Kind))
                continue;
            std::uint32_t Key = Inside;
            if (!Text.empty()) {
                const char* Name = Names + Starts[I];
                const size_t Length = Starts[I + 1] - Starts[I] - 1;
                if (const char* At = Occurrence(Name, Length, Text)) {
                    Key = At != Name              ? (IsWordBreak(At[-1]) ? WordStart : Inside)
                          : Length == Text.size() ? WholeName
                                                  : NameStart;
                } else {
                    const std::uint32_t Penalty = Query.Fuzzy ? ScatteredPenalty(Name, Length, Text) : UINT32_MAX;
                    if (Penalty == UINT32_MAX)
                        continue;
                    Key = Scattered + Penalty;
                }
            }
            const auto Tag = static_cast<std::uint32_t>(Base + I);
            ++Found.Count;
            if (Found.First.size() < Query.Cap)
                Found.First.push_back(Tag);
            Offer(Key, Tag);
        }
    }
    std::sort_heap(Best.begin(), Best.end());
    for (const auto& [Key, Tag] : Best)
        Found.Best.push_back(Tag);
    return Found;
}

const TProjectIndex::TKinds& TProjectIndex::Kinds(const TTagsFile& File) const
{
    if (FKinds)
        return *FKinds;
    auto Kinds = std::make_unique<TKinds>();
    Kinds->Of.reserve(Count());
    std::unordered_map<std::wstring, std::uint16_t> Numbers;
    for (size_t I = 0; I < Count(); ++I) {
        TTagsFileLine Parts;
        std::wstring Kind;
        if (SplitTagsFileLine(File.LineAt(Offset(I)), Parts))
            Kind = File.Format().KindOf(Parts);
        const auto [Found, Added] = Numbers.try_emplace(Kind, static_cast<std::uint16_t>(Kinds->Names.size()));
        if (Added && Kinds->Names.size() < UINT16_MAX)
            Kinds->Names.push_back(Kind);
        Kinds->Of.push_back(Found->second);
    }
    FKinds = std::move(Kinds);
    return *FKinds;
}
