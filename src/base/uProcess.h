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
// milliseconds while the runner waits for the child or copies what it
// wrote, whether the child is silent or writes faster than it is copied: a
// hung or flooding child must not take the caller's chance to redraw and to
// look at the keyboard. An exception it raises ends the run: the child is
// ended and waited for, and the exception passes on.
using TProcessTurnEvent = std::function<void()>;
inline constexpr DWORD ProcessTurnInterval = 100;

inline constexpr std::uint32_t ProcessNotStarted = 0xFFFFFF;
inline constexpr std::uint32_t ProcessTimedOut = 258;
// The exit code of a child ended for writing more than a run holds.
inline constexpr std::uint32_t ProcessOutputExceeded = 0xFFFFFE;

// The most of each of the child's outputs that a run holds: the standard
// output takes the tags of any real source file many times over, the
// standard error is for messages.
inline constexpr std::uint64_t ProcessOutputLimit = std::uint64_t(1) << 30;
inline constexpr std::uint64_t ProcessErrorLimit = std::uint64_t(1) << 20;

// What a run may set beyond its command line; each field may stay as it is.
struct TProcessOptions {
    // The program's full path, handed to the system as it is: nothing is
    // searched for and no ".exe" added. Empty: the command line's first
    // word, found by the system's own rules.
    std::wstring Program;
    // The child's current folder; empty: the caller's.
    std::wstring Directory;
    // "NAME=value" entries the child gets in place of the caller's
    // variables of those names; the rest of the caller's environment goes
    // with them. Empty: the caller's environment as it is.
    TStrings Environment;
    // Past these many bytes of standard output or standard error (the
    // output's limit for both when they share one stream) the run ends.
    std::uint64_t OutputLimit = ProcessOutputLimit;
    std::uint64_t ErrorLimit = ProcessErrorLimit;
    // With an output event, how often (milliseconds) what the child wrote
    // is copied and delivered while it runs, between the caller's turns: a
    // caller that works on the output as it comes gets it in smaller and
    // earlier pieces. 0: at the caller's turns only.
    DWORD DrainInterval = 0;
};

// Why a run did not end with the child's own exit or its deadline.
enum class TProcessFailure {
    None,
    Setup,       // a pipe, an output file, an event or the list of inherited handles could not be made
    Directory,   // the child's folder (TProcessOptions::Directory) cannot be used
    Start,       // the system would not start the program
    OutputLimit, // the child wrote more than OutputLimit to its standard output
    ErrorLimit,  // the child wrote more than ErrorLimit to its standard error
};
struct TProcessStatus {
    TProcessFailure Failure = TProcessFailure::None;
    // The system's reason for Setup, Directory and Start; 0 for the rest.
    DWORD SystemError = 0;
};

// The current local date-time as days since 1899-12-30, the scale of the
// runner's Deadline.
double Now();

// Runs CommandLine with its standard input on a pipe and its output and
// error captured. Input's bytes from its position to its end feed the
// child; Output and Errors (either may be null, and they may be one stream,
// which then gets both interleaved) receive what it writes, appended at
// their positions. Returns false (ExitCode ProcessNotStarted) when the
// child cannot be started. A positive Deadline ends the child with
// ProcessTimedOut once Now() passes it. The runner always adds
// CREATE_NEW_CONSOLE and CREATE_DEFAULT_ERROR_MODE to CreationFlags.
// Whatever ends the run early (an event or OnTurn raising) ends the child
// too.
//
// However fast the child writes, the runner copies its output a slice at a
// time between the caller's turns (a caller with neither turns nor events
// gets it all once the child has ended), and never holds more than the
// options' limits: a child that has written more, as the sizes of its files
// tell, is ended at once and waited for, ExitCode is ProcessOutputExceeded,
// the streams hold at most the limit (a partial output, never to be taken
// for the whole), and Status says which limit. Status, when given, also
// says why a child was not started.
bool RunProcess(const std::wstring& CommandLine, TStream* Input, TStream* Output, TStream* Errors,
                std::uint32_t& ExitCode, std::uint16_t ShowWindow, std::uint32_t CreationFlags,
                const TProcessOutputEvent& OnOutput = {}, const TProcessOutputEvent& OnError = {}, double Deadline = 0,
                const TProcessTurnEvent& OnTurn = {}, const TProcessOptions& Options = {},
                TProcessStatus* Status = nullptr);

// The same with lists of lines: Input is written in the ANSI code page with
// CR LF after each line; Output and Errors are cleared and, when the child
// started, filled with the decoded lines it wrote (see DecodeText).
bool RunProcess(const std::wstring& CommandLine, const TStrings* Input, TStrings* Output, TStrings* Errors,
                std::uint32_t& ExitCode, std::uint16_t ShowWindow, std::uint32_t CreationFlags,
                const TProcessOutputEvent& OnOutput = {}, const TProcessOutputEvent& OnError = {}, double Deadline = 0,
                const TProcessTurnEvent& OnTurn = {}, const TProcessOptions& Options = {},
                TProcessStatus* Status = nullptr);
