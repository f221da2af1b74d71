#include "base/uStreams.h"

#include "base/Format.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

std::wstring SystemErrorText(DWORD Code)
{
    wchar_t* Text = nullptr;
    const DWORD Length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, Code, 0, reinterpret_cast<wchar_t*>(&Text), 0, nullptr);
    std::wstring Result = Length ? std::wstring(Text, Length) : Format(L"System error %u", {Code});
    if (Text)
        ::LocalFree(Text);
    while (!Result.empty() && (Result.back() == L'\n' || Result.back() == L'\r' || Result.back() == L' '))
        Result.pop_back();
    return Result;
}

} // namespace

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
