#include "base/uStreams.h"

#include "base/uFaults.h"

#include "base/Format.h"
#include "base/uSystem.h"

#include <algorithm>
#include <cstring>
#include <limits>

// --- TStream -------------------------------------------------------------------

std::int64_t TStream::GetSize()
{
    const std::int64_t Saved = Seek(std::int64_t(0), TSeekOrigin::soCurrent);
    const std::int64_t Result = Seek(std::int64_t(0), TSeekOrigin::soEnd);
    Seek(Saved, TSeekOrigin::soBeginning);
    return Result;
}

void TStream::SetSize(std::int32_t NewSize)
{
    SetSize(static_cast<std::int64_t>(NewSize));
}

std::int32_t TStream::Seek(std::int32_t Offset, std::uint16_t Origin)
{
    return static_cast<std::int32_t>(Seek(static_cast<std::int64_t>(Offset), static_cast<TSeekOrigin>(Origin)));
}

void TStream::WriteBuffer(const void* Buffer, std::int32_t Count)
{
    if (Count > 0 && Write(Buffer, Count) != Count)
        throw EWriteError(L"Stream write error");
}

// --- THandleStream ---------------------------------------------------------------

void THandleStream::SetSize(std::int64_t NewSize)
{
    Seek(NewSize, TSeekOrigin::soBeginning);
    if (!::SetEndOfFile(FHandle.get()))
        throw EStreamError(SystemErrorText(::GetLastError()));
}

std::int32_t THandleStream::Read(void* Buffer, std::int32_t Count)
{
    DWORD Done = 0;
    if (Count <= 0 || !::ReadFile(FHandle.get(), Buffer, static_cast<DWORD>(Count), &Done, nullptr))
        return 0;
    return static_cast<std::int32_t>(Done);
}

std::int32_t THandleStream::Write(const void* Buffer, std::int32_t Count)
{
    DWORD Done = 0;
    if (Count > 0 && SystemFaultHere(TSystemFault::FileWrite)) {
        ::SetLastError(ERROR_DISK_FULL);
        return 0;
    }
    if (Count <= 0 || !::WriteFile(FHandle.get(), Buffer, static_cast<DWORD>(Count), &Done, nullptr))
        return 0;
    return static_cast<std::int32_t>(Done);
}

std::int64_t THandleStream::Seek(std::int64_t Offset, TSeekOrigin Origin)
{
    LARGE_INTEGER Distance;
    Distance.QuadPart = Offset;
    LARGE_INTEGER Result;
    if (!::SetFilePointerEx(FHandle.get(), Distance, &Result, static_cast<DWORD>(Origin)))
        return -1;
    return Result.QuadPart;
}

// --- TFileStream -----------------------------------------------------------------

TFileStream::TFileStream(const std::wstring& FileName, std::uint16_t Mode)
    : THandleStream([&] {
          if (Mode == fmCreate) {
              TFileHandle H(::CreateFileW(FileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
              if (!H)
                  throw EFCreateError(
                      Format(L"Cannot create file \"%s\". %s", {FileName, SystemErrorText(::GetLastError())}));
              return H;
          }
          static constexpr DWORD Access[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
          static constexpr DWORD Share[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE};
          const unsigned AccessMode = Mode & 0x3;
          const unsigned ShareMode = (Mode & 0xF0) >> 4;
          if (AccessMode > 2 || ShareMode > 4)
              throw EFOpenError(Format(L"Cannot open file \"%s\". Invalid file mode", {FileName}));
          // No share bits is the compatibility mode, which Windows no longer has;
          // reading is the closest it offers.
          const DWORD ShareFlags = ShareMode == 0 ? FILE_SHARE_READ : Share[ShareMode];
          TFileHandle H(::CreateFileW(FileName.c_str(), Access[AccessMode], ShareFlags, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
          if (!H)
              throw EFOpenError(Format(L"Cannot open file \"%s\". %s", {FileName, SystemErrorText(::GetLastError())}));
          return H;
      }()),
      FFileName(FileName)
{
}

// --- TMemoryStream ---------------------------------------------------------------

void TMemoryStream::SetSize(std::int64_t NewSize)
{
    FBytes.resize(static_cast<size_t>(std::max<std::int64_t>(NewSize, 0)));
    FPosition = std::min<std::int64_t>(FPosition, static_cast<std::int64_t>(FBytes.size()));
}

std::int32_t TMemoryStream::Read(void* Buffer, std::int32_t Count)
{
    const std::int64_t Available = static_cast<std::int64_t>(FBytes.size()) - FPosition;
    if (Count <= 0 || Available <= 0)
        return 0;
    const auto Done = static_cast<std::int32_t>(std::min<std::int64_t>(Available, Count));
    std::memcpy(Buffer, FBytes.data() + FPosition, static_cast<size_t>(Done));
    FPosition += Done;
    return Done;
}

std::int32_t TMemoryStream::Write(const void* Buffer, std::int32_t Count)
{
    if (Count <= 0)
        return 0;
    // Appending is the common case (captured output): the bytes are copied
    // once, into memory not cleared first.
    if (FPosition == static_cast<std::int64_t>(FBytes.size())) {
        const auto* Bytes = static_cast<const std::uint8_t*>(Buffer);
        FBytes.insert(FBytes.end(), Bytes, Bytes + Count);
        FPosition += Count;
        return Count;
    }
    const std::int64_t End = FPosition + Count;
    if (End > static_cast<std::int64_t>(FBytes.size()))
        FBytes.resize(static_cast<size_t>(End));
    std::memcpy(FBytes.data() + FPosition, Buffer, static_cast<size_t>(Count));
    FPosition = End;
    return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin)
{
    switch (Origin) {
    case TSeekOrigin::soBeginning: FPosition = Offset; break;
    case TSeekOrigin::soCurrent: FPosition += Offset; break;
    case TSeekOrigin::soEnd: FPosition = static_cast<std::int64_t>(FBytes.size()) + Offset; break;
    }
    // A position before the start makes no sense for memory; past the end
    // is allowed and a later write fills the gap with zeros.
    FPosition = std::max<std::int64_t>(FPosition, 0);
    return FPosition;
}

void TMemoryStream::Reserve(std::int64_t Count)
{
    if (Count > 0)
        FBytes.reserve(static_cast<size_t>(std::max<std::int64_t>(FPosition, 0) + Count));
}

void TMemoryStream::Clear() noexcept
{
    FBytes.clear();
    FPosition = 0;
}

// --- TReservedStream ---------------------------------------------------------------

namespace {

// Pages are committed in steps of this much, so that a stream filled in
// small writes does not ask the system for every page.
constexpr size_t CommitStep = 1 << 20;

} // namespace

TReservedStream::TReservedStream(std::uint64_t Capacity)
{
    if (Capacity == 0 || Capacity > std::numeric_limits<size_t>::max() - CommitStep)
        return;
    FBase = static_cast<std::uint8_t*>(
        ::VirtualAlloc(nullptr, static_cast<size_t>(Capacity), MEM_RESERVE, PAGE_NOACCESS));
    if (FBase)
        FCapacity = static_cast<size_t>(Capacity);
}

TReservedStream::~TReservedStream()
{
    if (FBase)
        ::VirtualFree(FBase, 0, MEM_RELEASE);
}

bool TReservedStream::Commit(size_t End)
{
    if (End <= FCommitted)
        return true;
    const size_t Target = std::min(FCapacity, (End + CommitStep - 1) / CommitStep * CommitStep);
    if (!::VirtualAlloc(FBase + FCommitted, Target - FCommitted, MEM_COMMIT, PAGE_READWRITE))
        return false;
    FCommitted = Target;
    return true;
}

void TReservedStream::SetSize(std::int64_t NewSize)
{
    const size_t Size = static_cast<size_t>(std::clamp<std::int64_t>(NewSize, 0, static_cast<std::int64_t>(FCapacity)));
    if (!Commit(Size))
        throw EStreamError(SystemErrorText(::GetLastError()));
    if (Size > FSize)
        std::memset(FBase + FSize, 0, Size - FSize);
    FSize = Size;
    FPosition = std::min<std::int64_t>(FPosition, static_cast<std::int64_t>(FSize));
}

std::int32_t TReservedStream::Read(void* Buffer, std::int32_t Count)
{
    const std::int64_t Available = static_cast<std::int64_t>(FSize) - FPosition;
    if (Count <= 0 || Available <= 0)
        return 0;
    const auto Done = static_cast<std::int32_t>(std::min<std::int64_t>(Available, Count));
    std::memcpy(Buffer, FBase + FPosition, static_cast<size_t>(Done));
    FPosition += Done;
    return Done;
}

std::int32_t TReservedStream::Write(const void* Buffer, std::int32_t Count)
{
    if (Count <= 0 || FPosition >= static_cast<std::int64_t>(FCapacity))
        return 0;
    const auto Start = static_cast<size_t>(FPosition);
    const size_t Done = std::min(static_cast<size_t>(Count), FCapacity - Start);
    if (!Commit(Start + Done))
        return 0;
    if (Start > FSize)
        std::memset(FBase + FSize, 0, Start - FSize);
    std::memcpy(FBase + Start, Buffer, Done);
    FSize = std::max(FSize, Start + Done);
    FPosition += static_cast<std::int64_t>(Done);
    return static_cast<std::int32_t>(Done);
}

std::int64_t TReservedStream::Seek(std::int64_t Offset, TSeekOrigin Origin)
{
    switch (Origin) {
    case TSeekOrigin::soBeginning: FPosition = Offset; break;
    case TSeekOrigin::soCurrent: FPosition += Offset; break;
    case TSeekOrigin::soEnd: FPosition = static_cast<std::int64_t>(FSize) + Offset; break;
    }
    FPosition = std::max<std::int64_t>(FPosition, 0);
    return FPosition;
}
