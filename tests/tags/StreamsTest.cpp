// Buffered and text streams, encoding detection and the string conversions.
#include "TagsTestUtil.h"

#include "base/uFiles.h"
#include "base/uStrings.h"

#include <string>
#include <vector>

using namespace tagstest;

namespace {

// Remembers the size of every write that reaches it.
class TRecordingStream : public TMemoryStream {
public:
    std::int32_t Write(const void* Buffer, std::int32_t Count) override
    {
        Writes.push_back(Count);
        return TMemoryStream::Write(Buffer, Count);
    }
    std::string Content() const { return std::string(Bytes().begin(), Bytes().end()); }

    std::vector<std::int32_t> Writes;
};

// Accepts only part of each write, like a full disk.
class TShortStream : public TMemoryStream {
public:
    std::int32_t Write(const void* Buffer, std::int32_t Count) override
    {
        return TMemoryStream::Write(Buffer, Count > 1 ? Count - 1 : Count);
    }
};

std::string Pattern(size_t Size)
{
    std::string Result(Size, '\0');
    for (size_t I = 0; I < Size; ++I)
        Result[I] = static_cast<char>(I * 7 + I / 251);
    return Result;
}

std::unique_ptr<TTextStream> OpenText(const std::wstring& Path)
{
    return TTextStream::Create(Path, fmOpenRead | fmShareDenyNone);
}

} // namespace

TEST(TBufferedStream, LargeWritesGoThroughTheWindowThenDirectly)
{
    const std::string Data = Pattern(40000);
    {
        TRecordingStream Target;
        auto Stream = TBufferedStream::Create(&Target, false);
        EXPECT_EQ(Stream->Write(Data.data(), 20000), 20000);
        // The full window went out; the rest waits for the next flush.
        EXPECT_EQ(Target.Writes, (std::vector<std::int32_t>{16384}));
        EXPECT_EQ(Stream->BufferCount(), 3616);
        Stream->Flush();
        EXPECT_EQ(Target.Writes, (std::vector<std::int32_t>{16384, 3616}));
        EXPECT_TRUE(Target.Content() == Data.substr(0, 20000));
    }
    {
        TRecordingStream Target;
        auto Stream = TBufferedStream::Create(&Target, false);
        EXPECT_EQ(Stream->Write(Data.data(), 40000), 40000);
        EXPECT_EQ(Target.Writes, (std::vector<std::int32_t>{16384, 23616}));
        EXPECT_EQ(Stream->Position(), 40000);
        Stream.reset(); // nothing left to write
        EXPECT_EQ(Target.Writes.size(), 2u);
        EXPECT_TRUE(Target.Content() == Data);
    }
}

TEST(TBufferedStream, ReadsSeeksAndOverwritesSeeTheStreamAsWritten)
{
    const std::string Data = Pattern(50000);
    TMemoryStream Target;
    Target.WriteBuffer(Data.data(), static_cast<std::int32_t>(Data.size()));
    auto Stream = TBufferedStream::Create(&Target, 1000, false);
    EXPECT_EQ(Stream->Position(), 0); // whatever the position of the target
    EXPECT_EQ(Stream->GetSize(), 50000);

    std::string Got(3000, '\0');
    EXPECT_EQ(Stream->Read(Got.data(), 10), 10);   // fills the window
    EXPECT_EQ(Stream->Read(&Got[10], 2500), 2500); // past the window: direct
    EXPECT_EQ(Stream->Read(&Got[2510], 490), 490);
    EXPECT_TRUE(Got == Data.substr(0, 3000));

    // Overwrite a few bytes in the middle: the window loads the bytes around
    // them, so the rest stays intact.
    EXPECT_EQ(Stream->Seek(std::int64_t(20000), TSeekOrigin::soBeginning), 20000);
    EXPECT_EQ(Stream->Write("XYZ", 3), 3);
    EXPECT_EQ(Stream->Seek(std::int32_t(-5), 1), 19998);
    std::string Around(10, '\0');
    EXPECT_EQ(Stream->Read(Around.data(), 10), 10);
    EXPECT_TRUE(Around == Data.substr(19998, 2) + "XYZ" + Data.substr(20003, 5));
    EXPECT_EQ(Stream->Seek(std::int32_t(0), 7), 20008); // unknown origin: no move

    // Reading at the end returns what there is.
    EXPECT_EQ(Stream->Seek(std::int64_t(-4), TSeekOrigin::soEnd), 49996);
    EXPECT_EQ(Stream->Read(Got.data(), 100), 4);
    EXPECT_EQ(Stream->Read(Got.data(), 100), 0);

    Stream->Flush();
    std::string Expected = Data;
    Expected.replace(20000, 3, "XYZ");
    EXPECT_TRUE(std::string(Target.Bytes().begin(), Target.Bytes().end()) == Expected);

    Stream->SetSize(std::int64_t(100));
    EXPECT_EQ(Target.Bytes().size(), 100u);
    EXPECT_EQ(Stream->Position(), 100);
}

TEST(TBufferedStream, ShortWriteOfTheWindowIsAnError)
{
    TShortStream Target;
    auto Stream = TBufferedStream::Create(&Target, false);
    Stream->Write("abc", 3);
    EXPECT_THROW(Stream->Flush(), EWriteError);
}

// Its bytes stay where they are as it grows past each commit step, a gap
// reads as zeros, and it takes no byte past its capacity.
TEST(TReservedStream, GrowsInPlaceUpToItsCapacityAndNoFurther)
{
    constexpr std::int64_t Capacity = (3 << 20) + 5;
    TReservedStream Stream(Capacity);
    const std::string Data = Pattern(1 << 20);
    Stream.WriteBuffer(Data.data(), static_cast<std::int32_t>(Data.size()));
    const char* const First = Stream.Bytes().data();
    Stream.Seek(std::int64_t(10), TSeekOrigin::soCurrent);
    Stream.WriteBuffer(Data.data(), static_cast<std::int32_t>(Data.size()));
    EXPECT_EQ(Stream.Bytes().data(), First);
    EXPECT_EQ(Stream.Bytes().substr(0, Data.size()), Data);
    EXPECT_EQ(Stream.Bytes().substr(Data.size(), 10), std::string(10, '\0'));
    EXPECT_EQ(Stream.Bytes().substr(Data.size() + 10), Data);

    // What is left of the capacity and no more: a short write, and
    // WriteBuffer calls that an error.
    const std::int64_t Left = Capacity - Stream.GetSize();
    EXPECT_EQ(Stream.Write(Data.data(), static_cast<std::int32_t>(Data.size())), Left);
    EXPECT_EQ(Stream.GetSize(), Capacity);
    EXPECT_THROW(Stream.WriteBuffer("x", 1), EWriteError);

    // Cut and grown again: what comes back is zeros, and reads see it.
    Stream.SetSize(std::int64_t(4));
    Stream.SetSize(std::int64_t(8));
    Stream.SetPosition(0);
    char Back[16] = {};
    EXPECT_EQ(Stream.Read(Back, sizeof(Back)), 8);
    EXPECT_EQ(std::string(Back, 8), Data.substr(0, 4) + std::string(4, '\0'));
}

TEST(TTextStream, SnapshotLinesAreUtf8WithMarkAndCrLf)
{
    TScratchDir Dir;
    const std::wstring Path = Dir / L"snapshot.c";
    {
        auto Text = TTextStream::Create(Path, fmCreate);
        EXPECT_EQ(Text->GetEncoding(), TTextEncoding::teNone);
        Text->WriteLine(L"a");
        Text->WriteLine(L"b");
        Text->WriteLine(L"c");
        EXPECT_EQ(ReadFileBytes(Path), ""); // still in the window
        Text->Flush();
    }
    EXPECT_EQ(ReadFileBytes(Path), "\xEF\xBB\xBF"
                                   "a\r\nb\r\nc\r\n");

    {
        auto Text = TTextStream::Create(Path, fmCreate); // truncates
        Text->WriteLine(L"");
    }
    EXPECT_EQ(ReadFileBytes(Path), "\xEF\xBB\xBF\r\n");

    {
        auto Text = TTextStream::Create(Path, fmCreate);
        Text->WriteText(L""); // no text, no mark
    }
    EXPECT_EQ(ReadFileBytes(Path), "");

    // Characters of three UTF-8 bytes, long enough to cross the window, and
    // plain and accented lines in turn across several windows.
    const std::wstring Euros(30000, L'\u20AC');
    std::string Expected = "\xEF\xBB\xBF";
    {
        auto Text = TTextStream::Create(Path, fmCreate);
        Text->WriteLine(Euros);
        Text->WriteLine(L"\u00E9t\u00E9 \U0001F600");
        for (int I = 0; I < 30000; ++I) {
            Text->WriteLine(I % 3 ? L"line " + std::to_wstring(I) : L"\u00E9 " + std::to_wstring(I));
            Text->WriteText(L"x");
        }
    }
    for (int I = 0; I < 30000; ++I)
        Expected += "\xE2\x82\xAC";
    Expected += "\r\n\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80\r\n";
    for (int I = 0; I < 30000; ++I)
        Expected += (I % 3 ? "line " : "\xC3\xA9 ") + std::to_string(I) + "\r\nx";
    EXPECT_TRUE(ReadFileBytes(Path) == Expected);
}

TEST(TTextStream, OtherEncodingsAndTheInvalidOne)
{
    TRecordingStream Target;
    auto Text = TBufferedStream::Create<TTextStream>(&Target, false);
    Text->SelectEncoding(TTextEncoding::teUnicode);
    Text->WriteLine(L"A\u20AC");
    Text->SetEncoding(TTextEncoding::teAnsi);
    Text->WriteText(L"caf\u00E9");
    Text->SetEncoding(TTextEncoding::teOem);
    Text->WriteText(L"x");
    Text->SetEncoding(static_cast<TTextEncoding>(9));
    EXPECT_THROW(Text->WriteText(L"lost"), EWriteError);
    Text->Flush();
    EXPECT_TRUE(Target.Content() == std::string("\xFF\xFE"
                                                "A\0\xAC\x20\r\0\n\0",
                                                10) +
                                        WideToCodePage(CP_ACP, L"caf\u00E9") + AnsiToOem("x"));

    // A mark is written only at the start of the stream.
    TRecordingStream Later;
    auto Second = TBufferedStream::Create<TTextStream>(&Later, false);
    Second->SetDefaultEncoding(TTextEncoding::teAnsi);
    Second->WriteText(L"ab");
    Second->SelectEncoding(TTextEncoding::teUtf8);
    Second->WriteText(L"\u00E9");
    Second->Flush();
    EXPECT_EQ(Later.Content(), "ab\xC3\xA9");
}

TEST(TTextStream, CreateFailureLeavesNothingOpen)
{
    TScratchDir Dir;
    EXPECT_THROW(TTextStream::Create(Dir / L"missing\\x.c", fmCreate), EFCreateError);
    EXPECT_THROW(TTextStream::Create(Dir / L"absent.c", fmOpenRead), EFOpenError);
    // A file held open in create mode is not shared.
    auto Text = TTextStream::Create(Dir / L"held.c", fmCreate);
    EXPECT_THROW(TTextStream::Create(Dir / L"held.c", fmOpenRead | fmShareDenyNone), EFOpenError);

    // A stream owned from the start is freed exactly once when the last
    // step of construction fails.
    struct TCounted : TMemoryStream {
        int& Freed;
        explicit TCounted(int& F) : Freed(F) {}
        ~TCounted() override { ++Freed; }
    };
    struct TFailing : TTextStream {
        using TTextStream::TTextStream;
        void Initialize() override { throw EStreamError(L"cannot"); }
    };
    int Freed = 0;
    EXPECT_THROW(TBufferedStream::Create<TFailing>(std::unique_ptr<TStream>(std::make_unique<TCounted>(Freed)), 16),
                 EStreamError);
    EXPECT_EQ(Freed, 1);
}

TEST(TTextStream, DetectsEncodingFromMarksAndContent)
{
    TScratchDir Dir;
    const std::wstring Path = Dir / L"probe.txt";
    struct TCase {
        std::string Bytes;
        TTextEncoding Encoding;
        bool BigEndian;
        std::int64_t Position;
    };
    std::string Utf16Le, Utf16Be;
    for (int I = 0; I < 31; ++I) {
        Utf16Le += std::string("a\0", 2);
        Utf16Be += std::string("\0a", 2);
    }
    const std::vector<TCase> Cases = {
        {std::string("\xFF\xFE"
                     "a\0",
                     4),
         TTextEncoding::teUnicode, false, 2},
        {std::string("\xFE\xFF\0a", 4), TTextEncoding::teUnicode, true, 2},
        // An odd size cannot be UTF-16: the mark bytes are just content.
        {"\xFF\xFE"
         "a",
         TTextEncoding::teAnsi, false, 0},
        {"\xEF\xBB\xBF"
         "abc",
         TTextEncoding::teUtf8, false, 3},
        {"plain 7-bit text\r\n", TTextEncoding::teAnsi, false, 0},
        {"x", TTextEncoding::teAnsi, false, 0},
        {"caf\xC3\xA9 cr\xC3\xA8me", TTextEncoding::teUtf8, false, 0},
        {"caf\xE9 cr\xE8me", TTextEncoding::teAnsi, false, 0},
        // A sequence cut at the end of the content still counts as UTF-8.
        {"caf\xC3\xA9 \xE2\x82", TTextEncoding::teUtf8, false, 0},
        {Utf16Le, TTextEncoding::teUnicode, false, 0},
        {Utf16Be, TTextEncoding::teUnicode, true, 0},
        // Exactly 30 zeros decide nothing; they are valid UTF-8.
        {Utf16Le.substr(0, 60) + "a", TTextEncoding::teUtf8, false, 0},
        {Utf16Be.substr(0, 60) + "a", TTextEncoding::teUtf8, false, 0},
    };
    for (const TCase& Case : Cases) {
        WriteFileBytes(Path, Case.Bytes);
        auto Text = OpenText(Path);
        EXPECT_EQ(Text->GetEncoding(), Case.Encoding) << ::testing::PrintToString(Case.Bytes);
        EXPECT_EQ(Text->GetBigEndian(), Case.BigEndian) << ::testing::PrintToString(Case.Bytes);
        EXPECT_EQ(Text->Position(), Case.Position) << ::testing::PrintToString(Case.Bytes);
    }

    // The 100-times rule is strict too: one even zero needs 101 odd ones.
    std::string Mixed = std::string("\0a", 2);
    for (int I = 0; I < 100; ++I)
        Mixed += std::string("a\0", 2);
    WriteFileBytes(Path, Mixed);
    EXPECT_NE(OpenText(Path)->GetEncoding(), TTextEncoding::teUnicode);
    WriteFileBytes(Path, Mixed + std::string("a\0", 2));
    EXPECT_EQ(OpenText(Path)->GetEncoding(), TTextEncoding::teUnicode);

    // An empty file is not examined.
    WriteFileBytes(Path, "");
    EXPECT_EQ(OpenText(Path)->GetEncoding(), TTextEncoding::teNone);
}

TEST(StringConversions, ConvertOrRaise)
{
    EXPECT_EQ(WideToUtf8(L""), "");
    EXPECT_EQ(WideToUtf8(L"a\u00E9\u20AC\U0001F600"), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(AnsiToOem(""), "");
    EXPECT_EQ(AnsiToOem("plain"), "plain");
    try {
        WideToCodePage(12345, L"x"); // no such code page
        FAIL() << "no exception";
    } catch (const EStringError& E) {
        EXPECT_EQ(E.Message(), L"Conversion failed.");
        EXPECT_STREQ(E.ClassName(), L"EStringError");
    }
}
