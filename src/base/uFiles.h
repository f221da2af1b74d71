// Buffered and text streams: one in-memory window in front of another stream,
// and on top of it text written in one of four encodings, with a byte-order
// mark where the encoding has one.
#pragma once

#include "base/uStreams.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

class TBufferedStream : public TStream {
protected:
    // Only the factory makes keys, so no stream escapes its Initialize step.
    class TKey {
        TKey() = default;
        friend class TBufferedStream;
    };

public:
    static constexpr std::int32_t DefaultBufferSize = 16384;

    // The way to make any buffered stream: constructs T, then runs the
    // most-derived Initialize on the finished object.
    template <class T = TBufferedStream, class... A>
    static std::unique_ptr<T> Create(A&&... Args)
    {
        std::unique_ptr<T> Result(new T(TKey(), std::forward<A>(Args)...));
        Result->AfterConstruction();
        return Result;
    }

    TBufferedStream(TKey, TStream* Stream, std::int32_t BufferSize, bool OwnsStream);
    TBufferedStream(TKey Key, TStream* Stream, bool OwnsStream)
        : TBufferedStream(Key, Stream, DefaultBufferSize, OwnsStream)
    {
    }
    // Owning Stream from the start: whatever fails later in construction
    // (the buffer, Initialize) frees it exactly once.
    TBufferedStream(TKey, std::unique_ptr<TStream> Stream, std::int32_t BufferSize);
    // Writes what the window still holds, but a failure here has no one to
    // report to: call Flush first where a lost write matters.
    ~TBufferedStream() override;

    void SetSize(std::int32_t NewSize) override;
    void SetSize(std::int64_t NewSize) override;
    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    std::int32_t Seek(std::int32_t Offset, std::uint16_t Origin) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

    virtual void Flush();

    TStream* Stream() const noexcept { return FStream; }
    bool OwnsStream() const noexcept { return FOwnedStream != nullptr; }
    std::int32_t BufferSize() const noexcept { return FBufferSize; }
    std::int64_t BufferStart() const noexcept { return FBufferStart; }
    std::int32_t BufferCount() const noexcept { return FBufferCount; }
    bool Dirty() const noexcept { return FDirty; }
    std::int64_t Position() const noexcept { return FPosition; }

protected:
    virtual void Initialize() {}
    // Moves the logical position only; neither the window nor Stream is
    // touched. Origins other than 0, 1 and 2 leave the position as it is.
    virtual std::int64_t DoSeek(std::int64_t Offset, std::uint16_t Origin);

    void ResetBuffer() noexcept;
    void FillBuffer();
    // Room for Count bytes at the position inside the window, where writing
    // them needs no flush and leaves no hole; nullptr where it does not.
    // WindowWritten then takes what was put there.
    std::uint8_t* WindowRoom(std::int32_t Count) const noexcept;
    void WindowWritten(std::int32_t Count) noexcept;

private:
    void AfterConstruction() { Initialize(); }
    void MoveStreamTo(std::int64_t Where);
    void FlushWindow();

    // Declared first, so that it is freed last, after the final flush.
    std::unique_ptr<TStream> FOwnedStream;
    TStream* FStream;
    std::unique_ptr<std::uint8_t[]> FBuffer;
    std::int32_t FBufferSize;
    std::int64_t FBufferStart = 0;
    std::int32_t FBufferCount = 0;
    bool FDirty = false;
    std::int64_t FPosition = 0;
};

enum class TTextEncoding : std::uint8_t { teNone = 0, teAnsi = 1, teOem = 2, teUnicode = 3, teUtf8 = 4 };

class TTextStream : public TBufferedStream {
public:
    // Opens FileName with the file-open Mode (fmCreate makes a new, empty,
    // unshared file); the file stream's error propagates and nothing stays open.
    // Over any other stream: TBufferedStream::Create<TTextStream>(Stream, OwnsStream).
    static std::unique_ptr<TTextStream> Create(const std::wstring& FileName, std::uint16_t Mode);

    using TBufferedStream::TBufferedStream;

    // Text in the current encoding; the first non-empty text on a stream
    // without one selects DefaultEncoding (and writes its mark at position 0).
    void WriteText(std::wstring_view Text);
    void WriteLine(std::wstring_view Text);
    void SelectEncoding(TTextEncoding Value);
    void DetectEncoding();

    TTextEncoding GetDefaultEncoding() const noexcept { return FDefaultEncoding; }
    void SetDefaultEncoding(TTextEncoding Value) noexcept { FDefaultEncoding = Value; }
    TTextEncoding GetEncoding() const noexcept { return FEncoding; }
    void SetEncoding(TTextEncoding Value) noexcept { FEncoding = Value; }
    bool GetBigEndian() const noexcept { return FBigEndian; }
    const std::wstring& GetLineBreak() const noexcept { return FLineBreak; }
    void SetLineBreak(std::wstring Value) { FLineBreak = std::move(Value); }

protected:
    void Initialize() override;

private:
    TTextEncoding FDefaultEncoding = TTextEncoding::teUtf8;
    TTextEncoding FEncoding = TTextEncoding::teNone;
    bool FBigEndian = false;
    std::wstring FLineBreak = L"\r\n";
    // Reused for every conversion, so that writing line by line allocates
    // nothing once the longest line has been seen.
    std::string FScratch;
    // Plain ASCII text (and a line break) put straight into the window, in
    // an encoding that keeps ASCII as it is; false, with nothing written,
    // where that cannot be done.
    bool WriteAscii(std::wstring_view Text, bool LineBreak);
};
