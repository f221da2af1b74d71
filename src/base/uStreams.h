// The byte-stream layer under the text streams and the process runner: an
// abstract stream, a stream over a Windows file handle, and one in memory.
#pragma once

#include "base/Exception.h"
#include "base/Handle.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

LODESTAR_DECLARE_EXCEPTION(EStreamError, Exception);
LODESTAR_DECLARE_EXCEPTION(EFCreateError, EStreamError);
LODESTAR_DECLARE_EXCEPTION(EFOpenError, EStreamError);
LODESTAR_DECLARE_EXCEPTION(EReadError, EStreamError);
LODESTAR_DECLARE_EXCEPTION(EWriteError, EStreamError);

enum class TSeekOrigin : std::uint16_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// File-open modes: an access mode or'ed with a share mode, or the create mode.
inline constexpr std::uint16_t fmOpenRead = 0x0000;
inline constexpr std::uint16_t fmOpenWrite = 0x0001;
inline constexpr std::uint16_t fmOpenReadWrite = 0x0002;
inline constexpr std::uint16_t fmShareExclusive = 0x0010;
inline constexpr std::uint16_t fmShareDenyWrite = 0x0020;
inline constexpr std::uint16_t fmShareDenyNone = 0x0040;
inline constexpr std::uint16_t fmCreate = 0xFF00;

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    virtual std::int64_t GetSize();
    virtual void SetSize(std::int32_t NewSize);
    virtual void SetSize(std::int64_t NewSize) = 0;
    // Bytes actually moved; fewer than Count at the end or on failure.
    virtual std::int32_t Read(void* Buffer, std::int32_t Count) = 0;
    virtual std::int32_t Write(const void* Buffer, std::int32_t Count) = 0;
    virtual std::int32_t Seek(std::int32_t Offset, std::uint16_t Origin);
    virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;

    std::int64_t GetPosition() { return Seek(std::int64_t(0), TSeekOrigin::soCurrent); }
    void SetPosition(std::int64_t Value) { Seek(Value, TSeekOrigin::soBeginning); }

    // All or nothing: a short transfer raises EWriteError.
    void WriteBuffer(const void* Buffer, std::int32_t Count);
    // A hint that about Count more bytes are on their way, so that a stream
    // that grows can make room once instead of over and over.
    virtual void Reserve(std::int64_t Count) {}
};

// A stream over a file handle it owns.
class THandleStream : public TStream {
public:
    explicit THandleStream(TFileHandle Handle) : FHandle(std::move(Handle)) {}

    void SetSize(std::int64_t NewSize) override;
    using TStream::SetSize;
    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    using TStream::Seek;

    HANDLE Handle() const noexcept { return FHandle.get(); }

private:
    TFileHandle FHandle;
};

class TFileStream : public THandleStream {
public:
    // Mode is fmCreate, or an fmOpen* access mode or'ed with an fmShare* mode.
    // Raises EFCreateError or EFOpenError when the file cannot be had.
    TFileStream(const std::wstring& FileName, std::uint16_t Mode);

    const std::wstring& FileName() const noexcept { return FFileName; }

private:
    std::wstring FFileName;
};

class TMemoryStream : public TStream {
public:
    void SetSize(std::int64_t NewSize) override;
    using TStream::SetSize;
    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    using TStream::Seek;
    void Reserve(std::int64_t Count) override;

    const std::vector<std::uint8_t>& Bytes() const noexcept { return FBytes; }
    void Clear() noexcept;

private:
    std::vector<std::uint8_t> FBytes;
    std::int64_t FPosition = 0;
};

// A memory stream of at most Capacity bytes whose bytes never move: the
// address space for all of them is reserved at once and committed as they
// come. Growing it copies nothing, so a large output taken in while its
// writer goes on never stops everything for a copy of all that came before,
// and it holds no more memory than its bytes. Writes past Capacity are
// short (WriteBuffer raises); so is every write when the address space
// cannot be had.
class TReservedStream : public TStream {
public:
    explicit TReservedStream(std::uint64_t Capacity);
    ~TReservedStream() override;

    void SetSize(std::int64_t NewSize) override;
    using TStream::SetSize;
    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    using TStream::Seek;

    std::string_view Bytes() const noexcept { return {reinterpret_cast<const char*>(FBase), FSize}; }
    // False when the address space could not be had, or the capacity is 0.
    bool Ready() const noexcept { return FBase != nullptr; }

private:
    // Commits the pages up to End (at most the capacity); false when the
    // system refuses.
    bool Commit(size_t End);

    std::uint8_t* FBase = nullptr;
    size_t FCapacity = 0;
    size_t FCommitted = 0;
    size_t FSize = 0;
    std::int64_t FPosition = 0;
};
