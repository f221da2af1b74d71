// The plugin's user settings, kept at the root of the plugin's own settings
// in the host's store: those of the options dialog, and the function list's
// order, which the list itself switches.
#pragma once

#include "settings/uFarConfig.h"

#include <cstdint>
#include <memory>
#include <string>

class TOptions : public TFarConfig {
public:
    // The plugin's own settings, closed, holding the defaults (and marked
    // modified until loaded or saved). Nothing is read here; call Load.
    TOptions();

    // A new object with the stored values read (see Load).
    static std::unique_ptr<TOptions> CreateLoaded();

    void SetDefaults();
    // Reads the values; a missing one keeps its current value. When
    // the store cannot be opened nothing changes, Modified included, and
    // the result is false.
    bool Load();
    // Whether a Load has read the store: options that were never read
    // must not be saved over what the store holds.
    bool IsLoaded() const noexcept { return FLoaded; }
    // Writes the values when Force is set or something changed.
    // Returns false when the store refused to open or to take a value; the
    // options then stay modified, so a later Save(false) tries again.
    bool Save(bool Force);

    const std::wstring& GetCtagsFileName() const noexcept { return CtagsFileName; }
    void SetCtagsFileName(const std::wstring& Value) { UpdateString(CtagsFileName, Value); }
    bool GetFunctionSearchDelayEnabled() const noexcept { return FunctionSearchDelayEnabled; }
    void SetFunctionSearchDelayEnabled(bool Value) { UpdateBoolean(FunctionSearchDelayEnabled, Value); }
    // No range check: the callers decide what a zero or negative delay means.
    int32_t GetFunctionSearchDelay() const noexcept { return FunctionSearchDelay; }
    void SetFunctionSearchDelay(int32_t Value) { UpdateInteger(FunctionSearchDelay, Value); }
    // The names of a project's tags files, separated by ';': each is looked
    // for from the edited file's folder upward; an absolute path is used as
    // it is.
    const std::wstring& GetTagsFiles() const noexcept { return TagsFiles; }
    void SetTagsFiles(const std::wstring& Value) { UpdateString(TagsFiles, Value); }
    // The function list in file order (by line) rather than by name.
    bool GetFunctionListFileOrder() const noexcept { return FunctionListFileOrder; }
    void SetFunctionListFileOrder(bool Value) { UpdateBoolean(FunctionListFileOrder, Value); }
    // The function list best match first; it goes before the file order,
    // which stays what it was for a version that knows only that one.
    bool GetFunctionListMatchOrder() const noexcept { return FunctionListMatchOrder; }
    void SetFunctionListMatchOrder(bool Value) { UpdateBoolean(FunctionListMatchOrder, Value); }
    // The lists' filters also show names holding the typed characters in
    // order with gaps.
    bool GetFunctionListFuzzy() const noexcept { return FunctionListFuzzy; }
    void SetFunctionListFuzzy(bool Value) { UpdateBoolean(FunctionListFuzzy, Value); }

private:
    bool FLoaded = false;
    std::wstring CtagsFileName;
    bool FunctionSearchDelayEnabled = true;
    int32_t FunctionSearchDelay = 300;
    bool FunctionListFileOrder = false;
    bool FunctionListMatchOrder = false;
    bool FunctionListFuzzy = false;
    std::wstring TagsFiles = L"tags";
};
