// The process runner: a command line run as a child process with its
// standard input, output and error captured, and its exit code. It reports
// failure by its result and never raises, except where a caller's own
// stream or event handler raises inside it.
#pragma once

#include "base/uStreams.h"
#include "base/uSystem.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// Called on the caller's thread once per chunk read from the child, after
// the chunk has been appended to the capturing stream.
using TProcessOutputEvent = std::function<void(HANDLE Process, const void* Data, std::uint32_t Count)>;
// Called on the caller's thread at least every ProcessTurnInterval
// milliseconds while the runner waits for the child, whether or not the
// child writes: a hung child must not take the caller's chance to redraw and
// to look at the keyboard. An exception it raises ends the run: the child is
// ended and waited for, and the exception passes on.
using TProcessTurnEvent = std::function<void()>;
inline constexpr DWORD ProcessTurnInterval = 100;

inline constexpr std::uint32_t ProcessNotStarted = 0xFFFFFF;
inline constexpr std::uint32_t ProcessTimedOut = 258;

// The current local date-time as days since 1899-12-30, the scale of the
// runner's Deadline.
double Now();

// Runs CommandLine with its standard input, output and error on pipes.
// Input's bytes from its position to its end feed the child; Output and
// Errors (either may be null, and they may be one stream, which then gets
// both interleaved) receive what it writes, appended at their positions.
// Returns false (ExitCode ProcessNotStarted) when the child cannot be
// started. A positive Deadline ends the child with ProcessTimedOut once Now()
// passes it. The runner always adds CREATE_NEW_CONSOLE and
// CREATE_DEFAULT_ERROR_MODE to CreationFlags. Whatever ends the run early
// (an event or OnTurn raising) ends the child too.
bool RunProcess(const std::wstring& CommandLine, TStream* Input, TStream* Output, TStream* Errors,
                std::uint32_t& ExitCode, std::uint16_t ShowWindow, std::uint32_t CreationFlags,
                const TProcessOutputEvent& OnOutput = {}, const TProcessOutputEvent& OnError = {}, double Deadline = 0,
                const TProcessTurnEvent& OnTurn = {});

// The same with lists of lines: Input is written in the ANSI code page with
// CR LF after each line; Output and Errors are cleared and, when the child
// started, filled with the decoded lines it wrote (see DecodeText).
bool RunProcess(const std::wstring& CommandLine, const TStrings* Input, TStrings* Output, TStrings* Errors,
                std::uint32_t& ExitCode, std::uint16_t ShowWindow, std::uint32_t CreationFlags,
                const TProcessOutputEvent& OnOutput = {}, const TProcessOutputEvent& OnError = {}, double Deadline = 0,
                const TProcessTurnEvent& OnTurn = {});
