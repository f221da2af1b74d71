// How the process runner starts its child: a pipe for its input and files
// of the runner's for its output and its errors as its standard handles,
// and those as the only handles it inherits. The runner's own part
// (uProcess.cpp) is the transfer and the wait.
#pragma once

#include "base/Handle.h"
#include "base/uProcess.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The runner's one transfer buffer. The input pipe has room for as much.
inline constexpr DWORD TransferBufferSize = 1 << 20;

// What the runner keeps of a child it has started: its handles, the
// runner's end of its input pipe, and the runner's reading handles of its
// output and error files (each invalid where there is none). The child's own
// ends are closed here: the files go when the child and the runner have
// both let go of them.
struct TChild {
    TKernelHandle Process;
    TKernelHandle Thread;
    TFileHandle Input;
    TFileHandle Output;
    TFileHandle Errors;
};

// Which of the child's outputs the runner reads: a stream that is not read
// goes to NUL. Shared: the errors go into the output's file.
struct TChildOutputs {
    bool Output = false;
    bool Errors = false;
    bool Shared = false;
};

// Starts CommandLine with the program, folder and environment of Options,
// with its standard handles given when Redirect (else it gets none). False
// when it cannot be started or its files cannot be made, with Status saying
// which and why.
bool StartChild(const std::wstring& CommandLine, bool Redirect, const TChildOutputs& Outputs, std::uint16_t ShowWindow,
                std::uint32_t CreationFlags, const TProcessOptions& Options, TChild& Child, TProcessStatus& Status);
