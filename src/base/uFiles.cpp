#include "base/uFiles.h"

#include "base/uStrings.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

// --- TBufferedStream -------------------------------------------------------------

TBufferedStream::TBufferedStream(TKey, TStream* Stream, std::int32_t BufferSize, bool OwnsStream)
    : FOwnedStream(OwnsStream ? Stream : nullptr), FStream(Stream),
      FBufferSize(BufferSize > 0 ? BufferSize : DefaultBufferSize)
{
    FBuffer = std::make_unique<std::uint8_t[]>(static_cast<size_t>(FBufferSize));
    ResetBuffer();
}

TBufferedStream::TBufferedStream(TKey Key, std::unique_ptr<TStream> Stream, std::int32_t BufferSize)
    : TBufferedStream(Key, Stream.get(), BufferSize, false)
{
    FOwnedStream = std::move(Stream);
}

TBufferedStream::~TBufferedStream()
{
    try {
        FlushWindow();
    } catch (...) {
        // Nowhere to report from here; see the declaration.
    }
}

void TBufferedStream::SetSize(std::int32_t NewSize)
{
    SetSize(static_cast<std::int64_t>(NewSize));
}

void TBufferedStream::SetSize(std::int64_t NewSize)
{
    Flush();
    ResetBuffer();
    FStream->SetSize(NewSize);
    FPosition = FStream->GetPosition();
}

std::int32_t TBufferedStream::Read(void* Buffer, std::int32_t Count)
{
    if (Count <= 0)
        return 0;
    auto* Out = static_cast<std::uint8_t*>(Buffer);
    std::int32_t Total = 0;
    const std::int64_t Offset = FPosition - FBufferStart;
    if (Offset >= 0 && Offset < FBufferCount) {
        const auto Part = static_cast<std::int32_t>(std::min<std::int64_t>(FBufferCount - Offset, Count));
        std::memcpy(Out, FBuffer.get() + Offset, static_cast<size_t>(Part));
        FPosition += Part;
        Total = Part;
        Count -= Part;
    }
    if (Count == 0)
        return Total;
    Flush();
    ResetBuffer();
    if (Count > FBufferSize) {
        MoveStreamTo(FPosition);
        const std::int32_t Done = FStream->Read(Out + Total, Count);
        FPosition = FStream->GetPosition();
        return Total + std::max(Done, 0);
    }
    FillBuffer();
    const std::int32_t Part = std::min(FBufferCount, Count);
    std::memcpy(Out + Total, FBuffer.get(), static_cast<size_t>(Part));
    FPosition += Part;
    return Total + Part;
}

std::int32_t TBufferedStream::Write(const void* Buffer, std::int32_t Count)
{
    if (Count <= 0)
        return 0;
    const auto* In = static_cast<const std::uint8_t*>(Buffer);
    std::int32_t Total = 0;
    // Copies into the window at Offset, which must leave no hole.
    const auto Put = [&](std::int64_t Offset, std::int32_t Part) {
        std::memcpy(FBuffer.get() + Offset, In + Total, static_cast<size_t>(Part));
        WindowWritten(Part);
        Total += Part;
        Count -= Part;
    };
    const std::int64_t Offset = FPosition - FBufferStart;
    if (Offset >= 0 && Offset <= FBufferCount && Offset < FBufferSize)
        Put(Offset, static_cast<std::int32_t>(std::min<std::int64_t>(FBufferSize - Offset, Count)));
    if (Count == 0)
        return Total;
    Flush();
    ResetBuffer();
    if (Count > FBufferSize) {
        MoveStreamTo(FPosition);
        const std::int32_t Done = FStream->Write(In + Total, Count);
        FPosition = FStream->GetPosition();
        return Total + std::max(Done, 0);
    }
    // Loads what the file holds here, so that overwriting part of it keeps
    // the rest of the window intact.
    FillBuffer();
    Put(0, Count);
    return Total;
}

std::int32_t TBufferedStream::Seek(std::int32_t Offset, std::uint16_t Origin)
{
    return static_cast<std::int32_t>(DoSeek(Offset, Origin));
}

std::int64_t TBufferedStream::Seek(std::int64_t Offset, TSeekOrigin Origin)
{
    return DoSeek(Offset, static_cast<std::uint16_t>(Origin));
}

std::int64_t TBufferedStream::DoSeek(std::int64_t Offset, std::uint16_t Origin)
{
    switch (Origin) {
    case 0: FPosition = Offset; break;
    case 1: FPosition += Offset; break;
    case 2: FPosition = FStream->GetSize() + Offset; break;
    default: break;
    }
    return FPosition;
}

void TBufferedStream::Flush()
{
    FlushWindow();
}

void TBufferedStream::FlushWindow()
{
    if (!FDirty)
        return;
    MoveStreamTo(FBufferStart);
    FStream->WriteBuffer(FBuffer.get(), FBufferCount);
    FDirty = false;
}

void TBufferedStream::ResetBuffer() noexcept
{
    FBufferStart = 0;
    FBufferCount = 0;
    FDirty = false;
}

void TBufferedStream::FillBuffer()
{
    MoveStreamTo(FPosition);
    FBufferStart = FPosition;
    FBufferCount = std::max(FStream->Read(FBuffer.get(), FBufferSize), 0);
    FDirty = false;
}

std::uint8_t* TBufferedStream::WindowRoom(std::int32_t Count) const noexcept
{
    const std::int64_t Offset = FPosition - FBufferStart;
    if (Offset < 0 || Offset > FBufferCount || Offset + Count > FBufferSize)
        return nullptr;
    return FBuffer.get() + Offset;
}

void TBufferedStream::WindowWritten(std::int32_t Count) noexcept
{
    FPosition += Count;
    FDirty = true;
    FBufferCount = static_cast<std::int32_t>(std::max<std::int64_t>(FBufferCount, FPosition - FBufferStart));
}

void TBufferedStream::MoveStreamTo(std::int64_t Where)
{
    if (FStream->GetPosition() != Where)
        FStream->SetPosition(Where);
}

// --- TTextStream -----------------------------------------------------------------

namespace {

std::string_view ByteOrderMark(TTextEncoding Encoding)
{
    switch (Encoding) {
    case TTextEncoding::teUnicode: return "\xFF\xFE";
    case TTextEncoding::teUtf8: return "\xEF\xBB\xBF";
    default: return {};
    }
}

} // namespace

std::unique_ptr<TTextStream> TTextStream::Create(const std::wstring& FileName, std::uint16_t Mode)
{
    // A wide window: a snapshot of a large file is written in a few calls.
    return TBufferedStream::Create<TTextStream>(std::unique_ptr<TStream>(std::make_unique<TFileStream>(FileName, Mode)),
                                                64 * 1024);
}

void TTextStream::Initialize()
{
    TBufferedStream::Initialize();
    FDefaultEncoding = TTextEncoding::teUtf8;
    FEncoding = TTextEncoding::teNone;
    FBigEndian = false;
    FLineBreak = L"\r\n";
    if (GetSize() != 0)
        DetectEncoding();
}

bool TTextStream::WriteAscii(std::wstring_view Text, bool LineBreak)
{
    if (FEncoding != TTextEncoding::teUtf8 && FEncoding != TTextEncoding::teAnsi)
        return false;
    const std::wstring_view Break = LineBreak ? std::wstring_view(FLineBreak) : std::wstring_view();
    const size_t Count = Text.size() + Break.size();
    if (Count > INT32_MAX)
        return false;
    std::uint8_t* Out = WindowRoom(static_cast<std::int32_t>(Count));
    if (!Out)
        return false;
    // Two plain passes, which the compiler turns into vector code.
    wchar_t Bits = 0;
    for (const wchar_t C : Text)
        Bits |= C;
    for (const wchar_t C : Break)
        Bits |= C;
    if (Bits >= 0x80)
        return false;
    for (size_t I = 0; I < Text.size(); ++I)
        Out[I] = static_cast<std::uint8_t>(Text[I]);
    for (size_t I = 0; I < Break.size(); ++I)
        Out[Text.size() + I] = static_cast<std::uint8_t>(Break[I]);
    WindowWritten(static_cast<std::int32_t>(Count));
    return true;
}

void TTextStream::WriteText(std::wstring_view Text)
{
    if (Text.empty())
        return;
    if (FEncoding == TTextEncoding::teNone)
        SelectEncoding(FDefaultEncoding);
    if (WriteAscii(Text, false))
        return;
    FScratch.clear();
    switch (FEncoding) {
    case TTextEncoding::teAnsi: AppendWideToCodePage(CP_ACP, Text, FScratch); break;
    case TTextEncoding::teOem:
        AppendWideToCodePage(CP_ACP, Text, FScratch);
        FScratch = AnsiToOem(FScratch);
        break;
    case TTextEncoding::teUnicode:
        FScratch.resize(Text.size() * 2);
        for (size_t I = 0; I < Text.size(); ++I) {
            FScratch[2 * I] = static_cast<char>(Text[I] & 0xFF);
            FScratch[2 * I + 1] = static_cast<char>(Text[I] >> 8);
        }
        break;
    case TTextEncoding::teNone:
    case TTextEncoding::teUtf8: AppendWideToCodePage(CP_UTF8, Text, FScratch); break;
    default: throw EWriteError(L"Invalid encoding");
    }
    WriteBuffer(FScratch.data(), static_cast<std::int32_t>(FScratch.size()));
}

void TTextStream::WriteLine(std::wstring_view Text)
{
    if (FEncoding == TTextEncoding::teNone)
        SelectEncoding(FDefaultEncoding);
    if (WriteAscii(Text, true))
        return;
    WriteText(Text);
    WriteText(FLineBreak);
}

void TTextStream::SelectEncoding(TTextEncoding Value)
{
    if (Position() == 0) {
        const std::string_view Mark = ByteOrderMark(Value);
        WriteBuffer(Mark.data(), static_cast<std::int32_t>(Mark.size()));
        if (Value == TTextEncoding::teUnicode)
            FBigEndian = false;
    }
    FEncoding = Value;
}

void TTextStream::DetectEncoding()
{
    FEncoding = TTextEncoding::teAnsi;
    FBigEndian = false;
    const std::int64_t Saved = Position();
    const std::int64_t Size = GetSize();
    const auto Done = [&](TTextEncoding Encoding, bool BigEndian = false) {
        FEncoding = Encoding;
        FBigEndian = BigEndian;
        SetPosition(Saved);
    };
    if (Size <= 1)
        return Done(TTextEncoding::teAnsi);

    unsigned char Head[3] = {};
    if (Size % 2 == 0) {
        SetPosition(0);
        if (Read(Head, 2) == 2) {
            // A mark stays read: the text starts after it.
            if (Head[0] == 0xFF && Head[1] == 0xFE) {
                FEncoding = TTextEncoding::teUnicode;
                return;
            }
            if (Head[0] == 0xFE && Head[1] == 0xFF) {
                FEncoding = TTextEncoding::teUnicode;
                FBigEndian = true;
                return;
            }
        }
    }
    if (Size >= 3) {
        SetPosition(0);
        if (Read(Head, 3) == 3 && Head[0] == 0xEF && Head[1] == 0xBB && Head[2] == 0xBF) {
            FEncoding = TTextEncoding::teUtf8;
            return;
        }
    }

    SetPosition(0);
    std::string Sample(static_cast<size_t>(std::min<std::int64_t>(Size, DefaultBufferSize)), '\0');
    Sample.resize(static_cast<size_t>(std::max(Read(Sample.data(), static_cast<std::int32_t>(Sample.size())), 0)));
    const auto IsPlain = [](char C) { return C != 0 && static_cast<unsigned char>(C) < 0x80; };
    if (std::all_of(Sample.begin(), Sample.end(), IsPlain))
        return Done(TTextEncoding::teAnsi);

    size_t EvenZeros = 0;
    size_t OddZeros = 0;
    for (size_t I = 0; I < Sample.size(); ++I)
        if (Sample[I] == 0)
            ++(I % 2 == 0 ? EvenZeros : OddZeros);
    if (OddZeros > 30 && OddZeros > 100 * EvenZeros)
        return Done(TTextEncoding::teUnicode);
    if (EvenZeros > 30 && EvenZeros > 100 * OddZeros)
        return Done(TTextEncoding::teUnicode, true);

    // A multi-byte sequence cut by the end of the sample must not count as
    // invalid, so all trailing non-ASCII bytes are left out of the test.
    size_t K = Sample.size();
    while (K > 0 && static_cast<unsigned char>(Sample[K - 1]) >= 0x80)
        --K;
    if (K > 0 && IsValidUtf8(std::string_view(Sample).substr(0, K)))
        return Done(TTextEncoding::teUtf8);
    Done(TTextEncoding::teAnsi);
}
