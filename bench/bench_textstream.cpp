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

    std::vector<double> Text, Raw;
    for (int Run = 0; Run < 9; ++Run) {
        Text.push_back(Best(1, [&] {
            auto Stream = TTextStream::Create(TextPath, fmCreate);
            for (const std::wstring& Line : Lines)
                Stream->WriteLine(Line);
            Stream->Flush();
        }));
        Raw.push_back(Best(1, [&] {
            HANDLE H = ::CreateFileW(RawPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
            DWORD Done = 0;
            ::WriteFile(H, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done, nullptr);
            ::CloseHandle(H);
        }));
    }
    const double Ratio = Median(Text) / Median(Raw);
    std::printf("text stream, %d lines (%zu bytes), medians of 9 runs taken in turn: WriteLine %.3f s, one raw "
                "WriteFile %.3f s, ratio %.2f (%s)\n",
                Count, Bytes.size(), Median(Text), Median(Raw), Ratio, Ratio <= 1.5 ? "<= 1.5" : "over 1.5");
    return 0;
}
