#include "bridge/uFarModule.h"

#include "base/Registry.h"
#include "bridge/uFarPlugin.h"
#include "bridge/uEditorChanges.h"
#include "bridge/uFarSynchro.h"
#include "base/uStrings.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <typeinfo>

namespace {

// The redraw registry exists from library start to unload.
TUnitObject<TLockedRegistry<TRedrawable>> GRedrawRegistry;

std::wstring Widen(const char* Text)
{
    std::wstring Result;
    if (!Text)
        return Result;
    const int Size = ::MultiByteToWideChar(CP_UTF8, 0, Text, -1, nullptr, 0);
    if (Size <= 1)
        return Result;
    Result.resize(static_cast<size_t>(Size));
    ::MultiByteToWideChar(CP_UTF8, 0, Text, -1, Result.data(), Size);
    Result.resize(static_cast<size_t>(Size) - 1);
    return Result;
}

std::wstring DemangledName(const std::type_info& Type)
{
    int Status = 0;
    char* Demangled = abi::__cxa_demangle(Type.name(), nullptr, nullptr, &Status);
    std::wstring Result = Widen(Status == 0 && Demangled ? Demangled : Type.name());
    std::free(Demangled);
    return Result;
}

template <class F>
auto RequireService(F Service, const wchar_t* Name)
{
    if (!Service)
        throw EFarPluginError(std::wstring(L"The host has not provided the service ") + Name);
    return Service;
}

} // namespace

const far3::PluginStartupInfo& TFarModule::StartupInfo()
{
    return TFarPlugin::Instance().GetStartupInfo();
}

GUID TFarModule::PluginGuid()
{
    return TFarPlugin::Instance().GetGuid();
}

std::wstring TFarModule::GetMsg(intptr_t Id)
{
    const GUID Guid = PluginGuid();
    const auto Service = RequireService(StartupInfo().GetMsg, L"GetMsg");
    return FromPointer(Service(&Guid, Id));
}

intptr_t TFarModule::Message(far3::FARMESSAGEFLAGS Flags, const std::vector<std::wstring>& Lines, intptr_t ButtonCount)
{
    const GUID Guid = PluginGuid();
    static const GUID NoId{};
    const auto Service = RequireService(StartupInfo().Message, L"Message");
    std::vector<const wchar_t*> Items;
    Items.reserve(Lines.size());
    for (const std::wstring& Line : Lines)
        Items.push_back(Line.c_str());
    const intptr_t Result = Service(&Guid, &NoId, Flags, nullptr, Items.data(), Items.size(), ButtonCount);
    // A box with buttons has painted over whatever progress window was shown.
    if (ButtonCount > 0)
        InvalidateAll();
    return Result;
}

std::wstring TFarModule::FitString(const std::wstring& Text, intptr_t Width, wchar_t PadChar)
{
    if (Width <= 0)
        return std::wstring();
    const size_t Target = static_cast<size_t>(Width);
    if (Text.size() <= Target)
        return Text + std::wstring(Target - Text.size(), PadChar);
    std::vector<wchar_t> Buffer(Text.begin(), Text.end());
    Buffer.push_back(L'\0');
    if (const auto Trunc = StartupInfo().FSF ? StartupInfo().FSF->TruncPathStr : nullptr)
        Trunc(Buffer.data(), Width);
    std::wstring Result(Buffer.data());
    if (Result.size() > Target)
        Result.resize(Target);
    return Result;
}

void TFarModule::Log(const std::wstring& Line)
{
    TFarPlugin::Instance().Log(Line);
}

void TFarModule::LogFmt(std::wstring_view Fmt, std::initializer_list<TFormatArg> Args)
{
    std::wstring Line;
    try {
        Line = Format(Fmt, Args);
    } catch (const Exception&) {
        Line = L"Invalid log message: " + std::wstring(Fmt);
    }
    Log(Line);
}

std::vector<std::wstring> TFarModule::SplitLines(std::wstring_view Text)
{
    // The report splits exactly as captured program output is split.
    return SplitTextLines(Text);
}

void TFarModule::ReportFailure(const std::wstring& ClassName, const std::wstring& Text,
                               const std::wstring& FunctionName) noexcept
{
    try {
        LogFmt(L"%s: Exception %s: %s", {FunctionName, ClassName, Text});
    } catch (...) {
        // A failing log sink must not hide the report itself.
    }
    TFarPlugin* Plugin = nullptr;
    try {
        Plugin = &TFarPlugin::Instance();
    } catch (...) {
        return; // no plugin object: nobody to show a box through
    }
    try {
        const std::vector<std::wstring> MessageLines = SplitLines(Text);
        std::vector<std::wstring> Lines;
        Lines.reserve(MessageLines.size() + 4);
        Lines.push_back(Plugin->GetStandardMessage(TStandardMessage::smTitle));
        Lines.push_back(Format(Plugin->GetStandardMessage(TStandardMessage::smExceptionInFunction), {FunctionName}));
        Lines.push_back(ClassName);
        Lines.insert(Lines.end(), MessageLines.begin(), MessageLines.end());
        Lines.push_back(Plugin->GetStandardMessage(TStandardMessage::smOk));
        Message(far3::FMSG_WARNING, Lines, 1);
        return;
    } catch (...) {
    }
    try {
        std::vector<std::wstring> Lines;
        Lines.push_back(Plugin->GetStandardMessage(TStandardMessage::smTitle));
        Lines.push_back(Format(Plugin->GetStandardMessage(TStandardMessage::smExceptionInFunction), {FunctionName}));
        Lines.push_back(ClassName);
        Lines.push_back(Text);
        Lines.push_back(Plugin->GetStandardMessage(TStandardMessage::smOk));
        Message(far3::FMSG_WARNING, Lines, 1);
    } catch (...) {
        // Even the simple box failed; the host must still not see anything.
    }
}

void TFarModule::HandleException(const Exception& E, const std::wstring& FunctionName) noexcept
{
    if (dynamic_cast<const EAbort*>(&E))
        return;
    try {
        ReportFailure(E.ClassName(), E.Message(), FunctionName);
    } catch (...) {
    }
}

void TFarModule::HandleException(const std::exception& E, const std::wstring& FunctionName) noexcept
{
    try {
        ReportFailure(DemangledName(typeid(E)), Widen(E.what()), FunctionName);
    } catch (...) {
    }
}

void TFarModule::HandleUnknownException(const std::wstring& FunctionName) noexcept
{
    try {
        ReportFailure(L"Unknown exception", L"", FunctionName);
    } catch (...) {
    }
}

std::wstring TFarModule::TypeName(const std::type_info& Type)
{
    return DemangledName(Type);
}

std::wstring TFarModule::FromPointer(const wchar_t* Text, intptr_t Length)
{
    if (!Text || Length <= 0)
        return std::wstring();
    return std::wstring(Text, static_cast<size_t>(Length));
}

std::wstring TFarModule::FromPointer(const wchar_t* Text)
{
    return Text ? std::wstring(Text) : std::wstring();
}

std::unique_ptr<wchar_t[]> TFarModule::NewString(std::wstring_view Text)
{
    auto Copy = std::make_unique<wchar_t[]>(Text.size() + 1);
    std::copy(Text.begin(), Text.end(), Copy.get());
    Copy[Text.size()] = L'\0';
    return Copy;
}

void TFarModule::RegisterRedrawable(TRedrawable* Item)
{
    if (GRedrawRegistry)
        GRedrawRegistry->Add(Item);
}

void TFarModule::UnregisterRedrawable(TRedrawable* Item)
{
    if (GRedrawRegistry)
        GRedrawRegistry->Remove(Item);
}

void TFarModule::InvalidateAll()
{
    if (GRedrawRegistry)
        GRedrawRegistry->ForEach([](TRedrawable& Item) { Item.Invalidate(); });
}

size_t TFarModule::RedrawableCount()
{
    return GRedrawRegistry ? GRedrawRegistry->Count() : 0;
}

void TFarModule::InitializeUnit()
{
    GRedrawRegistry.Create();
    TFarSynchro::InitializeUnit();
}

void TFarModule::FinalizeUnit()
{
    TFarSynchro::FinalizeUnit();
    TEditorChanges::FinalizeUnit();
    GRedrawRegistry.Destroy();
    TFarPlugin::FreeInstance();
}
