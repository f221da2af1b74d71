// Operating-system services for the tag extraction and the editor command:
// finding a program, temporary names and their deletion at unload,
// environment expansion, and small path helpers. Everything reports failure
// by its result and never raises.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

using TStrings = std::vector<std::wstring>;

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

// A new folder in Parent that only the current user can open (the text of
// an unsaved buffer must not be readable by others on a shared temporary
// folder), named Prefix-<process id>-<serial> and registered for the
// clean-up at unload. "" when Parent cannot take one, with the system's
// last error saying why.
std::wstring MakePrivateFolder(const std::wstring& Parent, const std::wstring& Prefix);
// Removes what a host killed in the middle of a command left in Parent: the
// folders MakePrivateFolder named for Prefix whose process is gone. Any
// other folder, one whose process still runs, and links are left alone.
void RemoveLeftoverFolders(const std::wstring& Parent, const std::wstring& Prefix) noexcept;
// The same for files named PathPrefix + "-<hex process id>-<hex serial>" +
// Suffix (a full path's start, then an extension), in any case.
void RemoveLeftoverFiles(const std::wstring& PathPrefix, const std::wstring& Suffix) noexcept;

// Text with every %NAME% replaced by that environment variable; Text itself
// when the system cannot expand it.
std::wstring ExpandEnvironment(const std::wstring& Text);

// The full path of the program Name: a full Name as it is, a relative one
// (".exe" added when it has no extension) looked for in Folder, when given,
// and then in the folders of PATH that are full paths. Never in the current
// directory, which in a file manager is whatever folder the user is looking
// at; and never a Name that the current drive anchors ("\bin\x.exe",
// "C:x.exe"), whose file would change with the panel's drive. "" when no such
// file exists.
std::wstring FindProgram(const std::wstring& Name, const std::wstring& Folder = std::wstring());
// Whether the file at Path is a program image (a DOS header whose PE header
// is where it says): a command script or a text is not, and is never run.
// False when the file cannot be read.
bool IsProgramImage(const std::wstring& Path);

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

// The whole file's bytes appended to Bytes; false when it cannot be read.
bool ReadWholeFile(const std::wstring& Path, std::string& Bytes);
// Bytes as the whole of a new or emptied file; false unless all were written.
bool WriteWholeFile(const std::wstring& Path, std::string_view Bytes);

// The system's text for an error code, without its line end.
std::wstring SystemErrorText(DWORD Code);

// How a path is anchored. Full: a drive with its root ("C:\x") or a
// network or device path ("\\server\share\x", "\\?\C:\x"). Relative:
// neither drive nor root ("x", "tools\x"), to be resolved against a folder
// the caller chooses. OnCurrentDrive: a root without a drive ("\bin\x",
// "/bin/x") or a drive without its root ("C:x"): what it names depends on
// the current drive or on that drive's current folder.
enum class TPathKind { Relative, Full, OnCurrentDrive };
TPathKind PathKind(const std::wstring& Path);

// Path helpers.
bool IsAbsolutePath(const std::wstring& Path); // PathKind(Path) == TPathKind::Full
bool FileExists(const std::wstring& Path);     // a file, not a folder
bool DirectoryExists(const std::wstring& Path);
std::wstring ExpandFileName(const std::wstring& Path); // full path against the current directory
std::wstring ExtractFileDir(const std::wstring& Path); // without a trailing backslash
std::wstring ExtractFileExt(const std::wstring& Path); // with its dot, or ""
std::wstring GetCurrentDir();
bool SetCurrentDir(const std::wstring& Directory);
// Text in double quotes, with each double quote inside doubled.
std::wstring QuotedStr(const std::wstring& Text);
