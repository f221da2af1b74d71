// Looking up one name in a project's tags file against one plain read of
// the whole file, in the same run: on generated tags files of 8,000,000
// tags, sorted and unsorted, and with --project DIR on DIR\tags.
//
// Sorted: the first lookup of the process (the mapping included), a lookup
// on a freshly opened file, and one repeated on an open file (target: at
// most 1% of the read). Unsorted: the first lookup, which scans the file
// for its index, and the later ones, which the kept index serves. Beside
// them, one pass over every name, as the project-wide list will make.
#include "BenchUtil.h"

#include "tags/uProjectIndex.h"
#include "tags/uTagsFile.h"

#include <shellapi.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace bench;

namespace {

constexpr std::uint64_t GeneratedTags = 8000000;

// Names of the generated files: a first word and a second one, both sorted,
// so that writing them in turn writes a sorted file; every 15th name has a
// second tag in another file, as names defined twice are common.
class TGeneratedNames {
public:
    TGeneratedNames()
    {
        std::mt19937 Random(42);
        const auto Words = [&](size_t Count) {
            std::vector<std::string> Result;
            while (Result.size() < Count * 11 / 10) {
                std::string Word;
                for (size_t Length = 3 + Random() % 7; Length > 0; --Length)
                    Word += static_cast<char>('a' + Random() % 26);
                // A capital only in front keeps "word_" before "wordy_".
                if (Random() % 5 == 0)
                    Word[0] = static_cast<char>(Word[0] - 'a' + 'A');
                Result.push_back(Word);
            }
            std::sort(Result.begin(), Result.end());
            Result.erase(std::unique(Result.begin(), Result.end()), Result.end());
            Result.resize(Count);
            return Result;
        };
        FFirst = Words(4000);
        FSecond = Words(2000);
    }
    size_t Count() const { return FFirst.size() * FSecond.size(); }
    std::string Name(size_t K) const { return FFirst[K / FSecond.size()] + "_" + FSecond[K % FSecond.size()]; }
    static bool Twice(size_t K) { return K % 15 == 14; }

private:
    std::vector<std::string> FFirst;
    std::vector<std::string> FSecond;
};

// Writes the lines of a tags file in large pieces.
class TTagsWriter {
public:
    explicit TTagsWriter(const std::wstring& Path)
        : FFile(::CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
        FBuffer.reserve(Piece + 4096);
    }
    ~TTagsWriter() { Flush(); }
    TTagsWriter(const TTagsWriter&) = delete;
    TTagsWriter& operator=(const TTagsWriter&) = delete;

    void Append(std::string_view Text)
    {
        FBuffer += Text;
        if (FBuffer.size() >= Piece)
            Flush();
    }
    // The tag lines of name K, as Universal Ctags writes them by default.
    void AppendTags(const TGeneratedNames& Names, size_t K)
    {
        const std::string Name = Names.Name(K);
        const std::string Folder = "drivers/net/vendor" + std::to_string(K % 4096) + "/";
        for (int Copy = 0; Copy < (TGeneratedNames::Twice(K) ? 2 : 1); ++Copy) {
            Append(Name);
            Append("\t");
            Append(Folder);
            Append(Copy == 0 ? "main.c" : "main_extra.c");
            Append("\t/^static int ");
            Append(Name);
            Append("(struct device *dev, unsigned long flags)$/;\"\tf\ttyperef:typename:int\tfile:\n");
            ++FTags;
        }
    }
    std::uint64_t Tags() const { return FTags; }

private:
    static constexpr size_t Piece = 8 << 20;
    void Flush()
    {
        DWORD Done = 0;
        if (!FBuffer.empty())
            ::WriteFile(FFile.get(), FBuffer.data(), static_cast<DWORD>(FBuffer.size()), &Done, nullptr);
        FBuffer.clear();
    }

    TFileHandle FFile;
    std::string FBuffer;
    std::uint64_t FTags = 0;
};

const char* const Header = "!_TAG_FILE_FORMAT\t2\t/extended format; --format=1 will not append ;\" to lines/\n"
                           "!_TAG_FILE_SORTED\t%d\t/0=unsorted, 1=sorted, 2=foldcase/\n"
                           "!_TAG_OUTPUT_MODE\tu-ctags\t/u-ctags or e-ctags/\n"
                           "!_TAG_PROGRAM_NAME\tUniversal Ctags\t/Derived from Exuberant Ctags/\n";

// The names of the first tags a file has, for lookups: K such that all
// of them together are Tags tags.
size_t NamesFor(std::uint64_t Tags)
{
    const size_t Names = static_cast<size_t>(Tags * 15 / 16);
    size_t Count = Names;
    while (Count + Count / 15 < Tags)
        ++Count;
    while (Count + Count / 15 > Tags)
        --Count;
    return Count;
}

void WriteSorted(const std::wstring& Path, const TGeneratedNames& Names, size_t Count)
{
    TTagsWriter Writer(Path);
    char Text[512];
    std::snprintf(Text, sizeof(Text), Header, 1);
    Writer.Append(Text);
    for (size_t K = 0; K < Count; ++K)
        Writer.AppendTags(Names, K);
}

// The same tags in an order that is none: names a large prime apart.
void WriteUnsorted(const std::wstring& Path, const TGeneratedNames& Names, size_t Count)
{
    TTagsWriter Writer(Path);
    char Text[512];
    std::snprintf(Text, sizeof(Text), Header, 0);
    Writer.Append(Text);
    for (size_t J = 0; J < Count; ++J)
        Writer.AppendTags(Names, static_cast<size_t>((std::uint64_t(J) * 1000003) % Count));
}

// One plain read of the whole file through a 1 MiB buffer.
double PlainRead(const std::wstring& Path, std::uint64_t& Bytes)
{
    return Best(1, [&] {
        const TFileHandle File(::CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        std::vector<char> Buffer(1 << 20);
        Bytes = 0;
        DWORD Done = 0;
        while (::ReadFile(File.get(), Buffer.data(), static_cast<DWORD>(Buffer.size()), &Done, nullptr) && Done > 0)
            Bytes += Done;
    });
}

double MedianRead(const std::wstring& Path, std::uint64_t& Bytes)
{
    std::vector<double> Reads;
    for (int Run = 0; Run < 3; ++Run)
        Reads.push_back(PlainRead(Path, Bytes));
    return Median(Reads);
}

// Names to look up: Count tag lines' names from places all over the file.
std::vector<std::wstring> SampleNames(const TTagsFile& Tags, size_t Count)
{
    std::mt19937_64 Random(7);
    const std::string_view Bytes = Tags.Bytes();
    std::vector<std::wstring> Names;
    for (size_t Attempt = 0; Names.size() < Count && Attempt < Count * 4; ++Attempt) {
        std::uint64_t Pos = Random() % Bytes.size();
        while (Pos < Bytes.size() && Bytes[Pos] != '\n')
            ++Pos;
        ++Pos;
        TTagsFile::TNameRef Ref;
        if (Pos < Bytes.size() && Tags.NextName(Pos, Ref))
            Names.push_back(Tags.DecodeName(Ref.Name));
    }
    return Names;
}

// A name with one tag in a sorted file, found without a lookup: the lines
// before and after its line have other names.
std::wstring UniqueName(const TTagsFile& Tags)
{
    std::mt19937_64 Random(11);
    const std::string_view Bytes = Tags.Bytes();
    const auto Name = [&](std::uint64_t Pos) {
        TTagsFile::TNameRef Ref;
        return Tags.NextName(Pos, Ref) ? std::string(Ref.Name) : std::string();
    };
    for (int Attempt = 0; Attempt < 1000; ++Attempt) {
        std::uint64_t Pos = Tags.TagsBegin() + Random() % (Bytes.size() - Tags.TagsBegin());
        while (Pos < Bytes.size() && Bytes[Pos] != '\n')
            ++Pos;
        const std::uint64_t Previous = Pos;
        std::uint64_t Start = Previous;
        while (Start > 0 && Bytes[Start - 1] != '\n')
            --Start;
        const std::uint64_t This = Pos + 1;
        std::uint64_t Next = This;
        while (Next < Bytes.size() && Bytes[Next] != '\n')
            ++Next;
        const std::string Mine = Name(This);
        if (!Mine.empty() && Mine != Name(Start) && Mine != Name(Next + 1))
            return Tags.DecodeName(Mine);
    }
    return L"no such name";
}

// The same name in another case: for the lookup that finds no name of
// that case and tries without case.
std::wstring OtherCase(std::wstring Name)
{
    for (wchar_t& C : Name)
        if (C >= L'a' && C <= L'z')
            C = static_cast<wchar_t>(C - L'a' + L'A');
        else if (C >= L'A' && C <= L'Z')
            C = static_cast<wchar_t>(C - L'A' + L'a');
    return Name;
}

void Report(const char* What, double Seconds, double Read, double Target)
{
    const double Ratio = Seconds / Read;
    std::printf("  %-58s %10.3f ms  ratio %.5f", What, Seconds * 1e3, Ratio);
    if (Target > 0)
        std::printf("  (target <= %.2f: %s)", Target, Ratio <= Target ? "met" : "NOT met");
    std::printf("\n");
}

// Lookups of Names: one on a freshly opened file each, then all on one open
// file; the median of each.
void BenchLookups(const std::wstring& Path, const std::vector<std::wstring>& Names, double Read, double Target)
{
    std::vector<double> Fresh;
    size_t Found = 0;
    for (size_t I = 0; I < std::min<size_t>(Names.size(), 25); ++I)
        Fresh.push_back(Best(1, [&] { Found += TTagsFile(Path).FindTags(Names[I]).size(); }));
    Report("lookup on a freshly opened file (median)", Median(Fresh), Read, Target);
    std::vector<double> Opens;
    for (int I = 0; I < 25; ++I)
        Opens.push_back(Best(1, [&] { TTagsFile Opened(Path); }));
    Report("of which opening and closing the file (median)", Median(Opens), Read, 0);
    const TTagsFile Tags(Path);
    std::vector<double> Repeated, Blind;
    for (const std::wstring& Name : Names)
        Repeated.push_back(Best(1, [&] { Found += Tags.FindTags(Name).size(); }));
    Report("lookup repeated on an open file (median)", Median(Repeated), Read, Target);
    for (size_t I = 0; I < std::min<size_t>(Names.size(), 200); ++I) {
        const std::wstring Name = OtherCase(Names[I]);
        Blind.push_back(Best(1, [&] { Found += Tags.FindTags(Name).size(); }));
    }
    Report("lookup that falls back to any case (median)", Median(Blind), Read, Target);
    std::vector<double> Missing;
    for (size_t I = 0; I < std::min<size_t>(Names.size(), 200); ++I) {
        const std::wstring Name = Names[I] + L"_none";
        Missing.push_back(Best(1, [&] { Found += Tags.FindTags(Name).size(); }));
    }
    Report("lookup of a name with no tag (median)", Median(Missing), Read, Target);
    std::printf("  (%zu tags found by %zu lookups)\n", Found, Names.size() + 25 + 400);
}

// One pass over every name as views into the file, and one for the tags of
// the source file that holds the tag of Name.
void BenchNames(const std::wstring& Path, const std::wstring& Name, double Read)
{
    const TTagsFile Tags(Path);
    const auto Found = Tags.FindTags(Name);
    if (!Found.empty()) {
        size_t Count = 0;
        const double Pass = Best(3, [&] { Count = Tags.FindTagsOfFile(Found.front().File).size(); });
        char What[128];
        std::snprintf(What, sizeof(What), "the tags of one source file (%zu tags)", Count);
        Report(What, Pass, Read, 0);
    }
    std::uint64_t Count = 0;
    std::uint64_t Length = 0;
    const double Pass = Best(3, [&] {
        Count = Length = 0;
        std::uint64_t Pos = Tags.TagsBegin();
        TTagsFile::TNameRef Ref;
        while (Tags.NextName(Pos, Ref)) {
            ++Count;
            Length += Ref.Name.size();
        }
    });
    char What[128];
    std::snprintf(What, sizeof(What), "every name in turn (%llu names, %llu bytes)",
                  static_cast<unsigned long long>(Count), static_cast<unsigned long long>(Length));
    Report(What, Pass, Read, 0);
}

// The project's list: its first rows the first time of all, shown while
// its index is read (target 1.5 plain reads), the index read from the file
// (its save follows on a thread of its own), and mapped from what was saved, the first time in each
// later process, against one plain read of the file (target 1.5 too), had again with the file the same
// (target 0.05), and a filter change over all names, the worst one (a text
// only the last names hold) and a short one that most hold, against a
// plain scan of the same names for the text (target 2), the same for
// scattered letters (target 3); the memory the index holds against the
// file's size.
void BenchProjectList(const std::wstring& Path, double Read)
{
    std::shared_ptr<const TProjectIndex> Index;
    // What the list shows before its index is there: the file's first rows,
    // the edited file's left out.
    size_t Shown = 0;
    const double Rows = Best(3, [&] {
        const TTagsFile File(Path);
        if (!TProjectIndex::Known(File))
            Shown = TProjectIndex::FirstTags(File, TProjectIndex::FileNumbers(File, File.Folder() + L"\\src\\a.c"),
                                             2000)
                        .size();
    });
    Report("the project's list the first time of all: its first rows", Rows, Read, 1.5);
    if (Shown != 2000)
        std::printf("  %zu first rows, not 2000\n", Shown);
    const double Made = Best(1, [&] { Index = TProjectIndex::Of(TTagsFile(Path)); });
    Report("  its index, read behind them (then saved on a thread of its own)", Made, Read, 0);
    const double Save = Best(1, [&] { TProjectIndex::FinishSaving(); });
    Report("  the save after it, waited for", Save, Read, 0);
    bool Mapped = true;
    const double First = Best(3, [&] { Mapped &= TProjectIndex::Load(TTagsFile(Path)) != nullptr; });
    Report("the project's list: its index, the first time in a process", First, Read, 1.5);
    if (!Mapped)
        std::printf("  the saved index was not found\n");
    // The filter over what a later process has: the saved index, mapped.
    if (auto Saved = TProjectIndex::Load(TTagsFile(Path)))
        Index = Saved;
    const double Again = Best(3, [&] { TProjectIndex::Of(TTagsFile(Path)); });
    Report("the project's list again, the file the same", Again, Read, 0.05);
    const std::string Last(Index->UpperName(Index->Count() - 1));
    if (const auto Fresh = TProjectIndex::Load(TTagsFile(Path))) {
        const double Copied = Best(1, [&] { Fresh->Find({Last, false, TProjectIndex::NoFile, 2000, nullptr, 0, 64}); });
        Report("the first filter change on a saved index (its names copied)", Copied, Read, 0);
    }
    // The last name's every other letter: a text no name holds whole, which
    // every name is searched through for scattered.
    std::string Scattered;
    for (size_t I = 0; I < Last.size(); I += 2)
        Scattered += Last[I];
    struct {
        std::string Text;
        bool Fuzzy;
        double Target;
    } const Cases[] = {{Last, false, 2}, {"E", false, 2}, {Scattered, true, 3}, {"EAE", true, 3}};
    for (const auto& Case : Cases) {
        // The baseline: each name looked through for the text, nothing else.
        size_t Plain = 0;
        const double Scan = Best(3, [&] {
            Plain = 0;
            for (size_t I = 0; I < Index->Count(); ++I)
                Plain += Index->UpperName(I).find(Case.Text) != std::string_view::npos;
        });
        size_t Count = 0;
        // As the list asks: the first rows, and the best from anywhere.
        const double Filter = Best(3, [&] {
            Count = Index->Find({Case.Text, Case.Fuzzy, TProjectIndex::NoFile, 2000, nullptr, 0, 64}).Count;
        });
        char What[160];
        std::snprintf(What, sizeof(What), "a%s filter change \"%.20s\" (%zu of %zu names; scan %.1f ms)",
                      Case.Fuzzy ? " fuzzy" : "", Case.Text.c_str(), Count, Index->Count(), Scan * 1e3);
        const double Ratio = Filter / Scan;
        std::printf("  %-58s %10.3f ms  ratio to the scan %.2f  (target <= %.0f: %s)\n", What, Filter * 1e3, Ratio,
                    Case.Target, Ratio <= Case.Target ? "met" : "NOT met");
        if (!Case.Fuzzy && Plain != Count)
            std::printf("  the filter found %zu names, the scan %zu\n", Count, Plain);
    }
    const TTagsFile Tags(Path);
    std::printf("  the index holds %.1f MB of a %.1f MB file (target: less)\n",
                static_cast<double>(Index->MemoryBytes()) / 1e6, static_cast<double>(Tags.Size()) / 1e6);
}

// The baseline of a tags file's figures, printed with its title.
double ReadAndSay(const std::wstring& Path, const char* Title)
{
    std::uint64_t Bytes = 0;
    const double Read = MedianRead(Path, Bytes);
    std::printf("%s: %llu bytes; one plain read of the whole file %.1f ms (median of 3)\n", Title,
                static_cast<unsigned long long>(Bytes), Read * 1e3);
    return Read;
}

void BenchSorted(const std::wstring& Path, const char* Title)
{
    const double Read = ReadAndSay(Path, Title);
    std::vector<std::wstring> Names;
    {
        const TTagsFile Probe(Path);
        if (Probe.Format().Order() == TTagsFileOrder::Unsorted)
            std::printf("  the file says it is unsorted: its first lookup scans it\n");
        Names = SampleNames(Probe, 2000);
        Names.push_back(UniqueName(Probe));
    }
    // Of a name with one tag: in a sorted file its neighbours have other
    // names.
    static bool FirstOfProcess = true;
    if (std::exchange(FirstOfProcess, false)) {
        const double First = Best(1, [&] { TTagsFile(Path).FindTags(Names.back()); });
        Report("first lookup of the process, the mapping included", First, Read, 0.01);
        Names.pop_back();
    }
    BenchLookups(Path, Names, Read, 0.01);
    BenchNames(Path, Names.front(), Read);
    BenchProjectList(Path, Read);
}

void BenchUnsorted(const std::wstring& Path, const char* Title)
{
    const double Read = ReadAndSay(Path, Title);
    std::vector<std::wstring> Names;
    {
        const TTagsFile Probe(Path);
        Names = SampleNames(Probe, 2000);
    }
    std::vector<double> Scans;
    size_t Memory = 0;
    for (int Run = 0; Run < 3; ++Run) {
        TTagsIndex::ClearKept();
        Scans.push_back(Best(1, [&] { TTagsFile(Path).FindTags(Names[0]); }));
    }
    {
        const TTagsFile Tags(Path);
        Tags.FindTags(Names[0]);
        const auto Index = TTagsIndex::Of(Tags.Path(), Tags.Size(), Tags.LastWrite(), Tags.Bytes(), Tags.TagsBegin());
        Memory = Index->MemoryBytes();
    }
    Report("first lookup: the scan for the index (median of 3)", Median(Scans), Read, 0);
    std::printf("  the index holds %.1f MB\n", static_cast<double>(Memory) / 1e6);
    BenchLookups(Path, Names, Read, 0.01);
}

void BenchProject(const std::wstring& Project)
{
    const std::wstring Path = Project + L"\\tags";
    if (!FileExists(Path)) {
        std::printf("no tags file in %ls\n", Project.c_str());
        return;
    }
    char Title[1024];
    std::snprintf(Title, sizeof(Title), "the project's tags file %ls", Path.c_str());
    if (TTagsFile(Path).Format().Order() == TTagsFileOrder::Unsorted)
        BenchUnsorted(Path, Title);
    else
        BenchSorted(Path, Title);
}

void BenchGenerated()
{
    TScratch Dir;
    const TGeneratedNames Names;
    const size_t Count = NamesFor(GeneratedTags);
    const double Start = Seconds();
    WriteSorted(Dir / L"tags-sorted", Names, Count);
    WriteUnsorted(Dir / L"tags-unsorted", Names, Count);
    std::printf("generated two tags files of %llu tags each in %.1f s\n",
                static_cast<unsigned long long>(Count + Count / 15), Seconds() - Start);
    BenchSorted(Dir / L"tags-sorted", "sorted, 8,000,000 tags");
    BenchUnsorted(Dir / L"tags-unsorted", "unsorted, 8,000,000 tags");
}

} // namespace

// --project DIR: the tags file in DIR instead of the generated ones.
int main()
{
    int Argc = 0;
    wchar_t** Argv = ::CommandLineToArgvW(::GetCommandLineW(), &Argc);
    std::wstring Project;
    // Saved indexes of its own, gone with it: a later run reads the file
    // again the first time.
    const TScratch Store;
    TProjectIndex::SetStoreFolder(Store.Path());
    for (int I = 1; I + 1 < Argc; ++I)
        if (std::wstring(Argv[I]) == L"--project")
            Project = Argv[I + 1];
    // The project's first, while its lookup is the process's first.
    if (!Project.empty())
        BenchProject(Project);
    BenchGenerated();
    return 0;
}
