// A project's tags file made by ctags over a folder and everything below it.
// ctags writes a new file beside the old one, and the new file takes the old
// one's place in one step only when ctags succeeded: a reader sees the old
// file or the new one, never a half-written one.
#pragma once

#include "tags/uCtags.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The new tags file could not take the old one's place: the message is the
// tags file's path, the error code the system's.
LODESTAR_DECLARE_EXCEPTION(ETagsFileNotReplaced, EInOutError);
// ctags said it succeeded but wrote nothing: the message is the tags file's
// path. An empty file is never put in place of tags.
LODESTAR_DECLARE_EXCEPTION(ECtagsError_NoTagsWritten, ECtagsError);

class TTagsMaker {
public:
    // What ctags is started with, after the executable: every file below
    // its current folder, sorted, each tag with its line number and its
    // pattern, its kind in full and its scope as the tags file's reader
    // and the function list read them; then the new file's path.
    static std::wstring_view ArgumentsFor(TCtagsFlavour Flavour) noexcept;
    // The same for the tags of a few files on standard output, in the
    // order of their files: the lines a refresh puts in place of theirs.
    static std::wstring_view FileArgumentsFor(TCtagsFlavour Flavour) noexcept;
    // A new empty file beside TagsPath, whose name is this process's own,
    // for the file that takes TagsPath's place. Raises ETagsFileNotReplaced.
    static std::wstring MakeNewFile(const std::wstring& TagsPath);
    // The start of the name the new file has while ctags writes it, before
    // "-<process id>-<serial>.tmp".
    static constexpr const wchar_t* NewFileInfix = L".lodestar";

    struct TResult {
        std::uint64_t Bytes = 0;
        std::uint64_t Tags = 0;
        TCtagsFlavour Flavour = TCtagsFlavour::Universal;
    };

    // An absolute path, or a name looked for in the folders of PATH only
    // (see FindProgram).
    void SetExecutableName(std::wstring Value) { FExecutableName = std::move(Value); }
    const std::wstring& GetExecutableName() const noexcept { return FExecutableName; }

    // Runs ctags over Folder (a full path) and puts what it wrote in place
    // of TagsPath (a full path; relative file names in it start from its
    // folder, so one outside Folder gets full ones). ctags runs in Folder,
    // so that it reads the project's own option files as a run by hand
    // there does, with its own temporary folder as TMP and TEMP. Raises the
    // ECtagsError classes of TCtags, ECtagsError_NoTagsWritten or
    // ETagsFileNotReplaced; whatever ends it, nothing but the replaced file
    // is left (ctags' new file and its temporary files are deleted), and on
    // a failure TagsPath is as it was.
    TResult Make(const std::wstring& Folder, const std::wstring& TagsPath);

    // The caller's turn while ctags runs, at least every
    // ProcessTurnInterval milliseconds, with the bytes of the new file so
    // far: what it raises ends ctags and passes out of Make.
    std::function<void(std::uint64_t Written)> OnTurn;
    // The most of ctags' standard output and error a run takes: its tags go
    // to the file, so either is messages only.
    std::uint64_t OutputLimit = ProcessErrorLimit;
    std::uint64_t ErrorLimit = ProcessErrorLimit;

private:
    std::wstring FExecutableName = L"ctags.exe";
};
