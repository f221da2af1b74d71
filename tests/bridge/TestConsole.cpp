// The pseudo console functions are declared for Windows 10 builds only.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#undef NTDDI_VERSION
#define NTDDI_VERSION 0x0A000006

#include "TestConsole.h"

#include "base/Handle.h"

#include <cstdlib>
#include <memory>

namespace {

const wchar_t KeeperVariable[] = L"LODESTAR_TEST_CONSOLE_KEEPER";

// The test program started again as the pseudo console's first client: it
// only has to exist until the test has attached to that console, and is
// ended by it then. This runs before main, so GoogleTest never starts.
const bool GKeeper = [] {
    if (::GetEnvironmentVariableW(KeeperVariable, nullptr, 0) != 0) {
        ::Sleep(INFINITE);
        std::exit(0);
    }
    return false;
}();

const DWORD StdHandles[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

} // namespace

TTestConsole::TTestConsole()
{
    for (int I = 0; I < 3; ++I)
        FSavedStd[I] = ::GetStdHandle(StdHandles[I]);

    // The console reads from a pipe nobody writes to and draws into NUL.
    TFileHandle NoOutput(
        ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    HANDLE ReadEnd = nullptr, WriteEnd = nullptr;
    if (!NoOutput || !::CreatePipe(&ReadEnd, &WriteEnd, nullptr, 0))
        return;
    TKernelHandle PipeRead(ReadEnd);
    FInputPipe = WriteEnd;
    HPCON Console = nullptr;
    if (FAILED(::CreatePseudoConsole(COORD{80, 25}, PipeRead.get(), NoOutput.get(), 0, &Console)))
        return;
    FPseudoConsole = Console;

    SIZE_T Size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &Size);
    std::unique_ptr<char[]> ListBuffer(new char[Size]);
    auto* List = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(ListBuffer.get());
    if (!::InitializeProcThreadAttributeList(List, 1, 0, &Size))
        return;
    auto FreeList = ScopeExit([&] { ::DeleteProcThreadAttributeList(List); });
    if (!::UpdateProcThreadAttribute(List, 0, PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE, Console, sizeof(Console), nullptr,
                                     nullptr))
        return;

    STARTUPINFOEXW Startup{};
    Startup.StartupInfo.cb = sizeof(Startup);
    Startup.lpAttributeList = List;
    wchar_t Self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, Self, MAX_PATH);
    PROCESS_INFORMATION Info{};
    ::SetEnvironmentVariableW(KeeperVariable, L"1");
    const BOOL Started = ::CreateProcessW(Self, nullptr, nullptr, nullptr, FALSE, EXTENDED_STARTUPINFO_PRESENT, nullptr,
                                          nullptr, &Startup.StartupInfo, &Info);
    ::SetEnvironmentVariableW(KeeperVariable, nullptr);
    if (!Started)
        return;
    TKernelHandle Process(Info.hProcess), Thread(Info.hThread);

    ::FreeConsole();
    BOOL Attached = FALSE;
    for (int Try = 0; Try < 500 && !(Attached = ::AttachConsole(Info.dwProcessId)); ++Try)
        ::Sleep(10);
    ::TerminateProcess(Process.get(), 0);
    ::WaitForSingleObject(Process.get(), INFINITE);
    if (!Attached)
        return;
    FInput = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    DWORD Mode = 0;
    if (FInput == INVALID_HANDLE_VALUE || !::GetConsoleMode(FInput, &Mode))
        return;
    ::SetStdHandle(STD_INPUT_HANDLE, FInput);
    Flush();
    FReady = true;
}

TTestConsole::~TTestConsole()
{
    if (FInput != INVALID_HANDLE_VALUE)
        ::CloseHandle(FInput);
    ::FreeConsole();
    // The test program's own output goes where it went before.
    for (int I = 0; I < 3; ++I)
        ::SetStdHandle(StdHandles[I], FSavedStd[I]);
    if (FPseudoConsole)
        ::ClosePseudoConsole(static_cast<HPCON>(FPseudoConsole));
    if (FInputPipe)
        ::CloseHandle(FInputPipe);
}

bool TTestConsole::Write(const std::vector<INPUT_RECORD>& Records)
{
    DWORD Written = 0;
    return ::WriteConsoleInputW(FInput, Records.data(), static_cast<DWORD>(Records.size()), &Written) &&
           Written == Records.size();
}

void TTestConsole::Flush()
{
    ::FlushConsoleInputBuffer(FInput);
}

DWORD TTestConsole::PendingCount()
{
    DWORD Count = 0;
    ::GetNumberOfConsoleInputEvents(FInput, &Count);
    return Count;
}

std::string TTestConsole::Pending()
{
    std::vector<INPUT_RECORD> Records(PendingCount() + 1);
    DWORD Count = 0;
    ::PeekConsoleInputW(FInput, Records.data(), static_cast<DWORD>(Records.size()), &Count);
    std::string Text;
    for (DWORD I = 0; I < Count; ++I) {
        const INPUT_RECORD& Record = Records[I];
        if (!Text.empty())
            Text += ' ';
        if (Record.EventType == KEY_EVENT)
            Text += std::to_string(Record.Event.KeyEvent.wVirtualKeyCode) +
                    (Record.Event.KeyEvent.bKeyDown ? "+" : "-");
        else
            Text += Record.EventType == MOUSE_EVENT ? "mouse" : "other";
    }
    return Text;
}

INPUT_RECORD TTestConsole::Key(WORD VirtualKey, bool Down, wchar_t Char)
{
    INPUT_RECORD Record{};
    Record.EventType = KEY_EVENT;
    Record.Event.KeyEvent.bKeyDown = Down;
    Record.Event.KeyEvent.wRepeatCount = 1;
    Record.Event.KeyEvent.wVirtualKeyCode = VirtualKey;
    Record.Event.KeyEvent.uChar.UnicodeChar = Char;
    return Record;
}

INPUT_RECORD TTestConsole::Mouse()
{
    INPUT_RECORD Record{};
    Record.EventType = MOUSE_EVENT;
    Record.Event.MouseEvent.dwMousePosition = COORD{10, 5};
    Record.Event.MouseEvent.dwButtonState = FROM_LEFT_1ST_BUTTON_PRESSED;
    return Record;
}
