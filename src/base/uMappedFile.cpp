#include "base/uMappedFile.h"

#include <utility>

TMappedFile::TMappedFile(TMappedFile&& Other) noexcept
    : FView(std::exchange(Other.FView, nullptr)), FSize(std::exchange(Other.FSize, 0)), FLastWrite(Other.FLastWrite)
{
}

TMappedFile& TMappedFile::operator=(TMappedFile&& Other) noexcept
{
    if (this != &Other) {
        Close();
        FView = std::exchange(Other.FView, nullptr);
        FSize = std::exchange(Other.FSize, 0);
        FLastWrite = Other.FLastWrite;
    }
    return *this;
}

bool TMappedFile::Open(const std::wstring& Path)
{
    Close();
    TFileHandle File(::CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File)
        return false;
    // Not GetFileInformationByHandle, which asks for the volume too: under
    // wine that costs more than the whole lookup. (A folder is not opened
    // without FILE_FLAG_BACKUP_SEMANTICS.)
    LARGE_INTEGER Size{};
    FILETIME LastWrite{};
    if (!::GetFileSizeEx(File.get(), &Size) || !::GetFileTime(File.get(), nullptr, nullptr, &LastWrite))
        return false;
    if (static_cast<std::uint64_t>(Size.QuadPart) > SIZE_MAX) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    FLastWrite = LastWrite;
    // The system maps no empty file; there is nothing to read either.
    if (Size.QuadPart == 0)
        return true;
    // The view keeps the mapping, and the mapping the file: both handles
    // may go once the view is made.
    const TKernelHandle Mapping(::CreateFileMappingW(File.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!Mapping)
        return false;
    void* View = ::MapViewOfFile(Mapping.get(), FILE_MAP_READ, 0, 0, 0);
    if (!View)
        return false;
    FView = static_cast<const char*>(View);
    FSize = static_cast<size_t>(Size.QuadPart);
    return true;
}

void TMappedFile::Close() noexcept
{
    if (FView)
        ::UnmapViewOfFile(FView);
    FView = nullptr;
    FSize = 0;
    FLastWrite = FILETIME{};
}
