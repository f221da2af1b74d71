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
                const TProcessOutputEvent& OnOutput = {}, const TProcessOutputEvent& OnError = {},
                double Deadline = 0, const TProcessTurnEvent& OnTurn = {});

// The same with lists of lines: Input is written in the ANSI code page with
// CR LF after each line; Output and Errors are cleared and, when the child
// started, filled with the decoded lines it wrote (see DecodeText).
bool RunProcess(const std::wstring& CommandLine, const TStrings* Input, TStrings* Output, TStrings* Errors,
                std::uint32_t& ExitCode, std::uint16_t ShowWindow, std::uint32_t CreationFlags,
                const TProcessOutputEvent& OnOutput = {}, const TProcessOutputEvent& OnError = {},
                double Deadline = 0, const TProcessTurnEvent& OnTurn = {});

// The system's temporary directory with its trailing backslash, or "".
std::wstring GetTempDirectory();
// A unique name from the system's temporary-name service (its file deleted
// again), or "" when Directory cannot take a file.
std::wstring MakeTempFileName(const std::wstring& Directory, const std::wstring& Prefix);
// A name in Directory that did not exist when chosen and ends in Extension
// (with its own dot, or empty); the file is not created. "" when Directory
// cannot take a file: never a name relative to the current directory.
std::wstring MakeTempFileNameExt(const std::wstring& Directory, const std::wstring& Prefix,
                                 const std::wstring& Extension);

// Text with every %NAME% replaced by that environment variable; Text itself
// when the system cannot expand it.
std::wstring ExpandEnvironment(const std::wstring& Text);

// The full path of the program Name: an absolute Name as it is, a relative
// one (".exe" added when it has no extension) looked for in Folder, when
// given, and then in the folders of PATH. Never in the current directory,
// which in a file manager is whatever folder the user is looking at. "" when
// no such file exists.
std::wstring FindProgram(const std::wstring& Name, const std::wstring& Folder = std::wstring());

// Deletes Directory and everything below it, read-only files included.
// Links to directories are removed as links, never followed.
bool DeleteDirectoryTree(const std::wstring& Directory);

// Temporary files and folders the plugin made, to be deleted at unload if
// it has not done so itself. Registering remembers which file Path is, so
// that what another program has since put under that name is left alone.
void RegisterTempFile(const std::wstring& Path);
// Deletes a registered file, or a folder with its whole tree, and forgets
// it; false when something could not be deleted (it is then kept for the
// clean-up at unload).
bool DeleteTempFile(const std::wstring& Path) noexcept;
// The registered paths, oldest first.
TStrings TempFiles();
// Deletes every registered path that is still the file or folder the plugin
// made; failures are ignored.
void DeleteTempFiles() noexcept;
// Library start and stop of this unit: the list is created, and at stop its
// paths are deleted and the list freed.
void SystemInitializeUnit();
void SystemFinalizeUnit() noexcept;

// Path helpers.
bool IsAbsolutePath(const std::wstring& Path);  // "C:\...", "\\server\..." or rooted "\..."
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
