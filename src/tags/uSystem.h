// Operating-system services for the tag extraction and the editor command:
// the process runner, temporary names and their deletion at unload,
// environment expansion, and small path helpers. Everything reports failure
// by its result and never raises, except where a caller's own stream or
// event handler raises inside the runner.
#pragma once

#include "uStreams.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using TStrings = std::vector<std::wstring>;

// Called on the caller's thread once per chunk read from the child, after
// the chunk has been appended to the capturing stream.
using TProcessOutputEvent = std::function<void(HANDLE Process, const void* Data, std::uint32_t Count)>;

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
// CREATE_DEFAULT_ERROR_MODE to CreationFlags.
bool RunProcess(const std::wstring& CommandLine, TStream* Input, TStream* Output, TStream* Errors,
                std::uint32_t& ExitCode, std::uint16_t ShowWindow, std::uint32_t CreationFlags,
                const TProcessOutputEvent& OnOutput = {}, const TProcessOutputEvent& OnError = {},
                double Deadline = 0);

// The same with lists of lines: Input is written in the ANSI code page with
// CR LF after each line; Output and Errors are cleared and, when the child
// started, filled with the decoded lines it wrote (see DecodeText).
bool RunProcess(const std::wstring& CommandLine, const TStrings* Input, TStrings* Output, TStrings* Errors,
                std::uint32_t& ExitCode, std::uint16_t ShowWindow, std::uint32_t CreationFlags,
                const TProcessOutputEvent& OnOutput = {}, const TProcessOutputEvent& OnError = {},
                double Deadline = 0);

// The system's temporary directory with its trailing backslash, or "".
std::wstring GetTempDirectory();
// A unique name from the system's temporary-name service (its file deleted
// again), or "". Registered for deletion at unload.
std::wstring MakeTempFileName(const std::wstring& Directory, const std::wstring& Prefix);
// A name that did not exist when chosen and ends in Extension (with its own
// dot, or empty); the file is not created. Registered for deletion at unload.
std::wstring MakeTempFileNameExt(const std::wstring& Directory, const std::wstring& Prefix,
                                 const std::wstring& Extension);

// Text with every %NAME% replaced by that environment variable; Text itself
// when the system cannot expand it.
std::wstring ExpandEnvironment(const std::wstring& Text);

// Deletes Directory and everything below it, read-only files included.
// Links to directories are removed as links, never followed.
bool DeleteDirectoryTree(const std::wstring& Directory);

// The temporary paths handed out since the library was loaded, in order;
// null outside SystemInitializeUnit .. SystemFinalizeUnit.
TStrings* TempFiles();
// Deletes every registered path that still exists (a folder with its whole
// tree); failures are ignored.
void DeleteTempFiles() noexcept;
// Library start and stop of this unit: the list is created, and at stop its
// paths are deleted and the list freed.
void SystemInitializeUnit();
void SystemFinalizeUnit() noexcept;

// Path helpers.
bool FileExists(const std::wstring& Path);      // a file, not a folder
bool DirectoryExists(const std::wstring& Path);
std::wstring ExpandFileName(const std::wstring& Path);   // full path against the current directory
std::wstring ExtractFileDir(const std::wstring& Path);   // without a trailing backslash
std::wstring ExtractFileExt(const std::wstring& Path);   // with its dot, or ""
std::wstring ChangeFileExt(const std::wstring& Path, const std::wstring& Extension);
std::wstring GetCurrentDir();
bool SetCurrentDir(const std::wstring& Directory);
// Text in double quotes, with each double quote inside doubled.
std::wstring QuotedStr(const std::wstring& Text);
