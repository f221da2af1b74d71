// lodestar-host.exe: the simulated host as a program a person can use. It
// loads the plugin, opens a file in its editor and draws the editor, the
// plugins menus and the plugin's dialogs on the console, or takes its keys
// from the command line and prints the screen, for tests and for a look
// without a terminal.
#include "ConsoleHost.h"
#include "EditorView.h"
#include "FarHost.h"
#include "Input.h"
#include "Profile.h"

#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const wchar_t* const Usage = L"lodestar-host.exe: a console host for the Lodestar plugin, with an editor,\n"
                             L"the plugins menus, and the plugin's dialogs and message boxes.\n"
                             L"\n"
                             L"Usage: lodestar-host.exe [options] FILE\n"
                             L"\n"
                             L"  FILE           the file to edit (one that does not exist is created on saving)\n"
                             L"  --plugin DLL   the plugin to load (default: Lodestar.dll beside this program)\n"
                             L"  --ctags PATH   the ctags the plugin runs while its options name none (not saved)\n"
                             L"  --profile DIR  the folder of settings.txt, which keeps what the plugin stores\n"
                             L"                 (default: %APPDATA%\\Lodestar-host)\n"
                             L"  --keys KEYS    press KEYS instead of reading the console (syntax below)\n"
                             L"  --size WxH     the screen's size with --keys (default: 120x40)\n"
                             L"  --screen       print the last screen as text on standard output\n"
                             L"  --trace        print the host calls on standard error\n"
                             L"\n"
                             L"In the editor: arrows, PgUp, PgDn, Home, End, Ctrl+Home, Ctrl+End move (with Shift\n"
                             L"they select); typing, Enter, Backspace and Del edit; F2 saves; F11 opens the plugins\n"
                             L"menu, F9 or Alt+Shift+F9 the plugins configuration menu; F10 or Esc quits.\n"
                             L"\n";

const wchar_t* const UsageEnd =
    L"\n"
    L"With --keys nothing reads the console, and the editor is left when the keys run out.\n"
    L"Exit code: 0; 1 when the simulated host recorded errors (they are printed on\n"
    L"standard error); 2 for a wrong command line, a file that cannot be read, or a\n"
    L"plugin that did not load.\n";

void Write(DWORD Std, const std::wstring& Text)
{
    const HANDLE Handle = ::GetStdHandle(Std);
    if (Handle == INVALID_HANDLE_VALUE || !Handle || Text.empty())
        return;
    DWORD Mode = 0, Done = 0;
    if (::GetConsoleMode(Handle, &Mode)) {
        ::WriteConsoleW(Handle, Text.data(), static_cast<DWORD>(Text.size()), &Done, nullptr);
        return;
    }
    const int Size = ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0, nullptr,
                                           nullptr);
    std::string Bytes(static_cast<size_t>(Size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Bytes.data(), Size, nullptr, nullptr);
    ::WriteFile(Handle, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done, nullptr);
}

std::wstring FullPath(const std::wstring& Path)
{
    const DWORD Length = ::GetFullPathNameW(Path.c_str(), 0, nullptr, nullptr);
    if (Length == 0)
        return Path;
    std::wstring Full(Length, L'\0');
    Full.resize(::GetFullPathNameW(Path.c_str(), Length, Full.data(), nullptr));
    return Full;
}

std::wstring ProgramFolder()
{
    wchar_t Path[MAX_PATH];
    const std::wstring Module(Path, ::GetModuleFileNameW(nullptr, Path, MAX_PATH));
    return Module.substr(0, Module.find_last_of(L'\\'));
}

struct TOptions {
    std::wstring File, Plugin, Ctags, Profile, Keys;
    bool Scripted = false, PrintScreen = false, Trace = false;
    SHORT Width = 120, Height = 40;
};

// False with Error set for a wrong command line; Help for --help.
bool ParseArguments(const std::vector<std::wstring>& Args, TOptions& Options, bool& Help, std::wstring& Error)
{
    for (size_t I = 0; I < Args.size(); ++I) {
        const std::wstring& Arg = Args[I];
        const auto Value = [&](std::wstring& Into) {
            if (I + 1 >= Args.size()) {
                Error = Arg + L" needs a value";
                return false;
            }
            Into = Args[++I];
            return true;
        };
        if (Arg == L"--help" || Arg == L"-h" || Arg == L"/?") {
            Help = true;
            return true;
        } else if (Arg == L"--plugin") {
            if (!Value(Options.Plugin))
                return false;
        } else if (Arg == L"--ctags") {
            if (!Value(Options.Ctags))
                return false;
        } else if (Arg == L"--profile") {
            if (!Value(Options.Profile))
                return false;
        } else if (Arg == L"--keys") {
            if (!Value(Options.Keys))
                return false;
            Options.Scripted = true;
        } else if (Arg == L"--size") {
            std::wstring Size;
            if (!Value(Size))
                return false;
            unsigned Width = 0, Height = 0;
            wchar_t End = 0;
            if (swscanf(Size.c_str(), L"%ux%u%lc", &Width, &Height, &End) != 2 || Width < 20 || Height < 10 ||
                Width > 1000 || Height > 1000) {
                Error = L"--size needs WIDTHxHEIGHT, at least 20x10: " + Size;
                return false;
            }
            Options.Width = static_cast<SHORT>(Width);
            Options.Height = static_cast<SHORT>(Height);
        } else if (Arg == L"--screen") {
            Options.PrintScreen = true;
        } else if (Arg == L"--trace") {
            Options.Trace = true;
        } else if (Arg.rfind(L"--", 0) == 0) {
            Error = L"unknown option " + Arg;
            return false;
        } else if (Options.File.empty()) {
            Options.File = Arg;
        } else {
            Error = L"one file only: " + Arg;
            return false;
        }
    }
    if (Options.File.empty()) {
        Error = L"no file to edit";
        return false;
    }
    return true;
}

// The console while a person uses the host: raw keys, put back at the end.
class TConsoleSession {
public:
    bool Open(std::wstring& Error)
    {
        FInput = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        FOutput = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
        if (FInput == INVALID_HANDLE_VALUE || FOutput == INVALID_HANDLE_VALUE || !::GetConsoleMode(FInput, &FMode) ||
            !TConsoleInput::WindowSize(FOutput, FWidth, FHeight)) {
            Error = L"there is no console to draw on; give --keys to run without one";
            return false;
        }
        FOpen = true;
        // Every key comes as it is: Ctrl+C too, and no line editing.
        ::SetConsoleMode(FInput, ENABLE_WINDOW_INPUT | ENABLE_EXTENDED_FLAGS);
        return true;
    }
    ~TConsoleSession()
    {
        if (FOpen) {
            ::SetConsoleMode(FInput, FMode);
            CONSOLE_CURSOR_INFO Info{25, TRUE};
            ::SetConsoleCursorInfo(FOutput, &Info);
        }
        if (FInput != INVALID_HANDLE_VALUE)
            ::CloseHandle(FInput);
        if (FOutput != INVALID_HANDLE_VALUE)
            ::CloseHandle(FOutput);
    }
    HANDLE Input() const { return FInput; }
    HANDLE Output() const { return FOutput; }
    SHORT Width() const { return FWidth; }
    SHORT Height() const { return FHeight; }

private:
    HANDLE FInput = INVALID_HANDLE_VALUE, FOutput = INVALID_HANDLE_VALUE;
    DWORD FMode = 0;
    bool FOpen = false;
    SHORT FWidth = 0, FHeight = 0;
};

int Run(const TOptions& Options)
{
    std::unique_ptr<TInputSource> Input;
    TConsoleSession Console;
    SHORT Width = Options.Width, Height = Options.Height;
    std::wstring Error;
    if (Options.Scripted) {
        auto Script = std::make_unique<TScriptInput>();
        if (!Script->Parse(Options.Keys, Error)) {
            Write(STD_ERROR_HANDLE, L"lodestar-host: --keys: " + Error + L"\n");
            return 2;
        }
        Input = std::move(Script);
    } else {
        if (!Console.Open(Error)) {
            Write(STD_ERROR_HANDLE, L"lodestar-host: " + Error + L"\n");
            return 2;
        }
        Input = std::make_unique<TConsoleInput>(Console.Input(), Console.Output());
        Width = Console.Width();
        Height = Console.Height();
    }

    TFarHost Host;
    Host.SetConsoleSize(Width, Height);

    // What the plugin stored in earlier runs is there before it loads.
    const std::wstring ProfileFile = (Options.Profile.empty() ? DefaultProfileFolder() : FullPath(Options.Profile)) +
                                     L"\\settings.txt";
    std::vector<std::wstring> Warnings;
    const std::vector<TProfileValue> Stored = ReadProfile(ProfileFile, Warnings);
    for (const std::wstring& Warning : Warnings)
        Write(STD_ERROR_HANDLE, L"lodestar-host: " + Warning + L"\n");
    PutIntoStore(Host.Settings(), Stored);

    const std::wstring Plugin = Options.Plugin.empty() ? ProgramFolder() + L"\\Lodestar.dll" : FullPath(Options.Plugin);
    if (!Host.LoadDll(Plugin)) {
        Write(STD_ERROR_HANDLE, L"lodestar-host: the plugin " + Plugin + L" did not load\n");
        for (const std::wstring& Text : Host.Errors())
            Write(STD_ERROR_HANDLE, L"error: " + Text + L"\n");
        return 2;
    }

    // --ctags stands in for an empty path in the options, for this run only.
    const GUID Guid = Host.PluginGuid;
    const std::optional<TSettingsValue> StoredCtags = Host.Settings().GetValue(Guid, L"", L"CtagsFileName");
    const bool LendCtags = !Options.Ctags.empty() && (!StoredCtags || StoredCtags->AsString().empty());
    if (LendCtags)
        Host.Settings().SetString(Guid, L"", L"CtagsFileName", Options.Ctags);

    TEditor& Editor = Host.Editors().Open(FullPath(Options.File), std::wstring());
    TEditorView View(Editor);
    if (!View.Load(Error)) {
        Write(STD_ERROR_HANDLE, L"lodestar-host: " + Error + L"\n");
        Host.Unload();
        return 2;
    }

    std::wstring LastScreen;
    {
        TConsoleHost App(Host, *Input, Options.Scripted ? INVALID_HANDLE_VALUE : Console.Output(), Width, Height,
                         [](const std::wstring& Text) { Write(STD_OUTPUT_HANDLE, Text); });
        Host.SetFrontEnd(&App);
        Host.Dialogs().SetInput(&App);
        App.Run(View);
        Host.Dialogs().SetInput(nullptr);
        Host.SetFrontEnd(nullptr);
        LastScreen = App.Screen().Dump();
    }
    Host.Unload();

    std::vector<GUID> Plugins{Guid};
    for (const TProfileValue& Value : Stored)
        if (std::find_if(Plugins.begin(), Plugins.end(), [&](const GUID& G) { return G == Value.Guid; }) ==
            Plugins.end())
            Plugins.push_back(Value.Guid);
    std::vector<TProfileValue> Values = TakeFromStore(Host.Settings(), Plugins);
    if (LendCtags) {
        // The lent path is not the user's setting: what was stored stays.
        for (auto It = Values.begin(); It != Values.end(); ++It) {
            if (It->Guid != Guid || It->Name != L"CtagsFileName" || It->Value.AsString() != Options.Ctags)
                continue;
            if (StoredCtags)
                It->Value = *StoredCtags;
            else
                Values.erase(It);
            break;
        }
    }
    if (!WriteProfile(ProfileFile, Values))
        Write(STD_ERROR_HANDLE, L"lodestar-host: cannot write " + ProfileFile + L"\n");

    if (Options.PrintScreen)
        Write(STD_OUTPUT_HANDLE, LastScreen);
    if (Options.Trace) {
        for (const TServiceCall& Call : Host.Calls())
            Write(STD_ERROR_HANDLE,
                  L"call: " + Widen(Call.Service) +
                      (Call.ThreadId == Host.MainThreadId() ? L""
                                                            : L" (thread " + std::to_wstring(Call.ThreadId) + L")") +
                      L"\n");
    }
    const std::vector<std::wstring> Errors = Host.Errors();
    for (const std::wstring& Text : Errors)
        Write(STD_ERROR_HANDLE, L"error: " + Text + L"\n");
    return Errors.empty() ? 0 : 1;
}

} // namespace

int main()
{
    int Count = 0;
    wchar_t** Argv = ::CommandLineToArgvW(::GetCommandLineW(), &Count);
    std::vector<std::wstring> Args;
    for (int I = 1; I < Count; ++I)
        Args.push_back(Argv[I]);
    ::LocalFree(Argv);

    TOptions Options;
    bool Help = false;
    std::wstring Error;
    if (!ParseArguments(Args, Options, Help, Error) || Help) {
        const std::wstring Text = std::wstring(Usage) + KeysSyntax + UsageEnd;
        if (Help) {
            Write(STD_OUTPUT_HANDLE, Text);
            return 0;
        }
        Write(STD_ERROR_HANDLE, L"lodestar-host: " + Error + L"\n\n" + Text);
        return 2;
    }
    return Run(Options);
}
