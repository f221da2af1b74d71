// The runner with lists of lines in and out: a separate unit, so that a
// program that never calls it (the plugin itself) does not carry it.
#include "base/uProcess.h"

#include "base/uStrings.h"

bool RunProcess(const std::wstring& CommandLine, const TStrings* Input, TStrings* Output, TStrings* Errors,
                std::uint32_t& ExitCode, std::uint16_t ShowWindow, std::uint32_t CreationFlags,
                const TProcessOutputEvent& OnOutput, const TProcessOutputEvent& OnError, double Deadline,
                const TProcessTurnEvent& OnTurn, const TProcessOptions& Options, TProcessStatus* Status)
{
    // The child's input is always a pipe, empty without an Input list, so it
    // reads end-of-input at once instead of waiting on a console.
    TMemoryStream InputStream;
    if (Input) {
        std::string Bytes;
        for (const std::wstring& Line : *Input) {
            AppendWideToCodePage(CP_ACP, Line, Bytes);
            Bytes += "\r\n";
        }
        InputStream.WriteBuffer(Bytes.data(), static_cast<std::int32_t>(Bytes.size()));
        InputStream.SetPosition(0);
    }
    if (Output)
        Output->clear();
    if (Errors)
        Errors->clear();
    TMemoryStream OutputStream;
    TMemoryStream ErrorStream;
    TMemoryStream* ErrorTarget = Errors == Output ? &OutputStream : &ErrorStream;

    const bool Started = RunProcess(CommandLine, &InputStream, &OutputStream, ErrorTarget, ExitCode, ShowWindow,
                                    CreationFlags, OnOutput, OnError, Deadline, OnTurn, Options, Status);
    if (Started) {
        const auto Load = [](const TMemoryStream& Stream, TStrings* Lines) {
            if (!Lines)
                return;
            const auto& Bytes = Stream.Bytes();
            *Lines = SplitTextLines(
                DecodeText(std::string_view(reinterpret_cast<const char*>(Bytes.data()), Bytes.size())));
        };
        Load(OutputStream, Output);
        if (Errors != Output)
            Load(ErrorStream, Errors);
    }
    return Started;
}
