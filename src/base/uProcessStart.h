// How the process runner starts its child: with the child's ends of new
// pipes as its standard handles, and those as the only handles it inherits.
// The runner's own part (uProcess.cpp) is the transfer and the wait.
#pragma once

#include "base/Handle.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The runner's one transfer buffer. Each pipe has room for as much, for the
// child to write ahead while the runner delivers the previous chunk.
inline constexpr DWORD TransferBufferSize = 1 << 20;

// What the runner keeps of a child it has started: its handles and the
// runner's ends of its pipes (invalid without pipes). The child's own ends
// are closed, so that its output ends when it is gone.
struct TChild {
    TKernelHandle Process;
    TKernelHandle Thread;
    TFileHandle Input;
    TFileHandle Output;
    TFileHandle Errors;
};

// Starts CommandLine, with pipes for its standard handles when UsePipes
// (its errors going into the output pipe when SharedOutput). False when it
// cannot be started.
bool StartChild(const std::wstring& CommandLine, bool UsePipes, bool SharedOutput, std::uint16_t ShowWindow,
                std::uint32_t CreationFlags, TChild& Child);
