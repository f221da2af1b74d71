// Class-level services every framework module uses to reach the host: the
// stored start-up information, localized messages, message boxes, text
// fitting, logging and the failure report. Nothing here holds state of its
// own except the process-wide redraw registry.
#pragma once

#include "base/Exception.h"
#include "bridge/FarApi.h"
#include "base/Format.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

class TFarPlugin;

// Something that can be told to redraw in full next time (a progress window
// after a message box has painted over it).
class TRedrawable {
public:
    virtual void Invalidate() = 0;

protected:
    ~TRedrawable() = default;
};

class TFarModule {
public:
    static const far3::PluginStartupInfo& StartupInfo();
    static GUID PluginGuid();

    // The host's text for a message id; a null answer gives "".
    static std::wstring GetMsg(intptr_t Id);
    // A host message box: Lines[0] is the title, the last ButtonCount lines
    // are the buttons. Returns the host's answer (-1 for Esc or failure).
    static intptr_t Message(far3::FARMESSAGEFLAGS Flags, const std::vector<std::wstring>& Lines, intptr_t ButtonCount);
    // Text brought to exactly Width characters: padded on the right, or
    // shortened the way the host shortens paths.
    static std::wstring FitString(const std::wstring& Text, intptr_t Width, wchar_t PadChar = L' ');

    static void Log(const std::wstring& Line);
    // A log line whose format does not match its arguments is not lost.
    static void LogFmt(std::wstring_view Fmt, std::initializer_list<TFormatArg> Args);

    // The failure report of the exports: silent for EAbort, otherwise one
    // log line and a warning box. Never throws.
    static void HandleException(const Exception& E, const std::wstring& FunctionName) noexcept;
    static void HandleException(const std::exception& E, const std::wstring& FunctionName) noexcept;
    static void HandleUnknownException(const std::wstring& FunctionName) noexcept;

    // Lines of a text split at CR, LF or CR LF; a break at the very end does
    // not start another line.
    static std::vector<std::wstring> SplitLines(std::wstring_view Text);

    // A class name as people read it ("TOptionsDialog"), for reports.
    static std::wstring TypeName(const std::type_info& Type);

    // String conversions at the host boundary.
    static std::wstring FromPointer(const wchar_t* Text, intptr_t Length);
    static std::wstring FromPointer(const wchar_t* Text);
    static std::unique_ptr<wchar_t[]> NewString(std::wstring_view Text);

    // The redraw registry: every progress window in creation order.
    static void RegisterRedrawable(TRedrawable* Item);
    static void UnregisterRedrawable(TRedrawable* Item);
    static void InvalidateAll();
    static size_t RedrawableCount();

    // Library start and stop of this unit: the registry first, and the
    // plugin object freed last of all.
    static void InitializeUnit();
    static void FinalizeUnit();

private:
    static void ReportFailure(const std::wstring& ClassName, const std::wstring& Text,
                              const std::wstring& FunctionName) noexcept;
};

class TFarCommonModule : public TFarModule {};
