// TTextStream.WriteLine of 1,000,000 short lines against one raw WriteFile
// of the same bytes.
#include "BenchUtil.h"

#include "base/uFiles.h"

#include <cstdio>

using namespace bench;

int main()
{
    TScratch Dir;
    const int Count = 1000000;
    std::vector<std::wstring> Lines;
    Lines.reserve(Count);
    std::string Bytes = "\xEF\xBB\xBF";
    for (int I = 0; I < Count; ++I) {
        Lines.push_back(L"    call(" + std::to_wstring(I) + L");");
        Bytes += "    call(" + std::to_string(I) + ");\r\n";
    }
    const std::wstring TextPath = Dir / L"text.c";
    const std::wstring RawPath = Dir / L"raw.c";

    double Text = 1e30;
    double Raw = 1e30;
    for (int Run = 0; Run < 9; ++Run) {
        Text = std::min(Text, Best(1, [&] {
                            auto Stream = TTextStream::Create(TextPath, fmCreate);
                            for (const std::wstring& Line : Lines)
                                Stream->WriteLine(Line);
                            Stream->Flush();
                        }));
        Raw = std::min(Raw, Best(1, [&] {
                           HANDLE H = ::CreateFileW(RawPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
                           DWORD Done = 0;
                           ::WriteFile(H, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done, nullptr);
                           ::CloseHandle(H);
                       }));
    }
    std::printf("text stream, %d lines (%zu bytes): WriteLine %.3f s, one raw WriteFile %.3f s, ratio %.2f\n", Count,
                Bytes.size(), Text, Raw, Text / Raw);
    return 0;
}
