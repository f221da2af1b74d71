// The process runner. Every pipe is drained continuously by overlapped reads
// waited on together with the child's process handle, on the caller's own
// thread: the child never stalls on a full pipe, no sleep paces the transfer,
// and the events fire where the caller expects them. The child's exit is
// taken from its process handle, so a real exit code of 259 ends the run too.
#include "base/uProcess.h"

#include "base/Handle.h"
#include "base/uStrings.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <memory>

namespace {

constexpr DWORD TransferBufferSize = 1 << 20;
// How the one transfer buffer is shared: the output pipe, the error pipe and
// the input pipe each own a fixed region, so that overlapped transfers on all
// three can be in flight at once.
constexpr DWORD OutputRegion = TransferBufferSize / 2;
constexpr DWORD ErrorRegion = TransferBufferSize / 4;
constexpr DWORD InputRegion = TransferBufferSize / 4;
// Room in each pipe for the child to write ahead while the runner delivers
// the previous chunk.
constexpr DWORD PipeBufferSize = TransferBufferSize;
constexpr DWORD TerminateWaitMs = 3000;
constexpr int ImmediateReadsPerTurn = 8;

// Both ends of one pipe. Like the system's anonymous pipes, the reading end
// is the pipe's server and the writing end its client; unlike them, the
// runner's end is opened for overlapped I/O.
struct TPipe {
    TFileHandle Read;
    TFileHandle Write;
};

bool CreateRunnerPipe(TPipe& Pipe, bool RunnerReads)
{
    static std::atomic<unsigned> Serial{0};
    // The child's end is inheritable; the runner's never is, so no other
    // child started meanwhile can hold it and delay the end of the output.
    SECURITY_ATTRIBUTES ReadSecurity{sizeof(SECURITY_ATTRIBUTES), nullptr, RunnerReads ? FALSE : TRUE};
    SECURITY_ATTRIBUTES WriteSecurity{sizeof(SECURITY_ATTRIBUTES), nullptr, RunnerReads ? TRUE : FALSE};
    wchar_t Name[96];
    for (int Attempt = 0; Attempt < 16; ++Attempt) {
        // Process ids come back soon: a process started by an earlier
        // process of the same id may still hold a pipe of that name, so the
        // clock goes into the name too, and a taken name is tried again.
        LARGE_INTEGER Clock;
        ::QueryPerformanceCounter(&Clock);
        std::swprintf(Name, std::size(Name), L"\\\\.\\pipe\\Lodestar.%08lx.%08x.%016llx", ::GetCurrentProcessId(),
                      Serial.fetch_add(1), static_cast<unsigned long long>(Clock.QuadPart));
        Pipe.Read.reset(::CreateNamedPipeW(
            Name, PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE | (RunnerReads ? FILE_FLAG_OVERLAPPED : 0),
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, PipeBufferSize, 0,
            &ReadSecurity));
        if (Pipe.Read || (::GetLastError() != ERROR_ACCESS_DENIED && ::GetLastError() != ERROR_PIPE_BUSY))
            break;
    }
    if (!Pipe.Read)
        return false;
    Pipe.Write.reset(::CreateFileW(Name, GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, &WriteSecurity, OPEN_EXISTING,
                                   RunnerReads ? 0 : FILE_FLAG_OVERLAPPED, nullptr));
    return Pipe.Write.valid();
}

// One overlapped transfer slot: its event and OVERLAPPED record. A transfer
// still in flight when the slot dies is cancelled and waited for, so the
// system never writes into a buffer that is gone, whatever path leaves the
// runner.
class TTransfer {
public:
    TTransfer() : FEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    TTransfer(const TTransfer&) = delete;
    TTransfer& operator=(const TTransfer&) = delete;
    ~TTransfer() { Cancel(); }

    bool Ready() const noexcept { return FEvent.valid(); }
    HANDLE Event() const noexcept { return FEvent.get(); }
    bool Pending() const noexcept { return FPending; }

    OVERLAPPED* Begin(HANDLE File)
    {
        FFile = File;
        FOverlapped = OVERLAPPED{};
        // ReadFile and WriteFile reset the event themselves.
        FOverlapped.hEvent = FEvent.get();
        return &FOverlapped;
    }
    // After a call that returned FALSE: true when the transfer is in flight.
    bool Started()
    {
        FPending = ::GetLastError() == ERROR_IO_PENDING;
        return FPending;
    }
    enum class TOutcome { Incomplete, Done, Failed };
    // The outcome of the transfer in flight; Wait blocks until it is known.
    TOutcome Finish(DWORD& Count, bool Wait)
    {
        Count = 0;
        if (::GetOverlappedResult(FFile, &FOverlapped, &Count, Wait ? TRUE : FALSE)) {
            FPending = false;
            return TOutcome::Done;
        }
        if (::GetLastError() == ERROR_IO_INCOMPLETE)
            return TOutcome::Incomplete;
        FPending = false;
        Count = 0;
        return TOutcome::Failed;
    }
    void Cancel() noexcept
    {
        if (!FPending)
            return;
        TLastErrorGuard Guard;
        ::CancelIoEx(FFile, &FOverlapped);
        DWORD Count;
        ::GetOverlappedResult(FFile, &FOverlapped, &Count, TRUE);
        FPending = false;
    }

private:
    TKernelHandle FEvent;
    HANDLE FFile = nullptr;
    OVERLAPPED FOverlapped{};
    bool FPending = false;
};

// Drains one pipe of the child's into a stream, keeping one read in flight.
class TPipeReader {
public:
    TPipeReader(TFileHandle Pipe, std::uint8_t* Region, DWORD RegionSize, TStream* Target,
                const TProcessOutputEvent& Event, HANDLE Process)
        : FPipe(std::move(Pipe)), FRegion(Region), FRegionSize(RegionSize), FTarget(Target), FEvent(Event),
          FProcess(Process)
    {
    }

    bool Open() const noexcept { return FPipe.valid(); }
    HANDLE Event() const noexcept { return FTransfer.Event(); }
    // True while the reader needs its event watched: a read is in flight,
    // or it has handed control back to the wait loop to go on later.
    bool Watched() const noexcept { return FTransfer.Pending() || FResume; }

    // Reads until a read has to wait; what completes at once is delivered.
    // A child that writes faster than it is read would keep this loop busy
    // for ever, so after a few rounds it returns to the wait loop, which
    // also watches the deadline, and resumes from there.
    void Start()
    {
        for (int Round = 0; Open(); ++Round) {
            if (FAfterExit >= FBudget) {
                Close(); // the rest is not the child's own output
                return;
            }
            if (Round == ImmediateReadsPerTurn) {
                FResume = true;
                ::SetEvent(FTransfer.Event());
                return;
            }
            DWORD Count = 0;
            OVERLAPPED* Overlapped = FTransfer.Begin(FPipe.get());
            if (::ReadFile(FPipe.get(), FRegion, FRegionSize, &Count, Overlapped)) {
                Deliver(Count);
                continue;
            }
            if (!FTransfer.Started())
                Close(); // the child's end is gone: end of output
            return;
        }
    }
    // The read in flight has finished (its event is set).
    void Complete()
    {
        if (FResume) {
            FResume = false;
            Start();
            return;
        }
        DWORD Count;
        switch (FTransfer.Finish(Count, false)) {
        case TTransfer::TOutcome::Incomplete:
            return;
        case TTransfer::TOutcome::Failed:
            Close(); // end of output
            return;
        case TTransfer::TOutcome::Done:
            Deliver(Count);
            Start();
            return;
        }
    }
    // After the child has exited: true when nothing it wrote is left, either
    // because the pipe has ended or because it is empty and the read in
    // flight has nothing (a process the child started may still hold the
    // pipe open; what that process writes later is not the child's output).
    bool Drained()
    {
        if (!Open() || FAfterExit >= FBudget)
            return true;
        if (FResume)
            return false;
        if (!FTransfer.Pending())
            return true;
        DWORD Available = 0;
        if (!::PeekNamedPipe(FPipe.get(), nullptr, 0, nullptr, &Available, nullptr))
            return true;
        return Available == 0;
    }
    // From the child's exit on, at most what the pipe held then and one read
    // in flight are the child's: a process it started that keeps writing
    // cannot hold the run open.
    void ChildExited()
    {
        DWORD Available = 0;
        if (Open() && ::PeekNamedPipe(FPipe.get(), nullptr, 0, nullptr, &Available, nullptr))
            FBudget = std::uint64_t(Available) + FRegionSize;
        FAfterExit = 0;
    }
    // Gives up the pipe; a read that completed meanwhile is still delivered.
    void Stop()
    {
        if (FTransfer.Pending()) {
            DWORD Count = 0;
            ::CancelIoEx(FPipe.get(), nullptr);
            if (FTransfer.Finish(Count, true) == TTransfer::TOutcome::Done)
                Deliver(Count);
        }
        Close();
    }

private:
    void Deliver(DWORD Count)
    {
        if (Count == 0)
            return;
        FAfterExit += Count;
        if (FTarget)
            FTarget->WriteBuffer(FRegion, static_cast<std::int32_t>(Count));
        if (FEvent)
            FEvent(FProcess, FRegion, Count);
    }
    void Close()
    {
        FTransfer.Cancel();
        FPipe.reset();
    }

    TFileHandle FPipe;
    TTransfer FTransfer;
    std::uint8_t* FRegion;
    DWORD FRegionSize;
    TStream* FTarget;
    const TProcessOutputEvent& FEvent;
    HANDLE FProcess;
    std::uint64_t FBudget = UINT64_MAX;
    std::uint64_t FAfterExit = 0;
    bool FResume = false;
};

// Feeds the caller's input stream to the child, one region at a time, and
// closes the pipe at the end of the input so that the child sees it end.
class TPipeWriter {
public:
    TPipeWriter(TFileHandle Pipe, std::uint8_t* Region, TStream* Input)
        : FPipe(std::move(Pipe)), FRegion(Region), FInput(Input)
    {
    }

    bool Open() const noexcept { return FPipe.valid(); }
    HANDLE Event() const noexcept { return FTransfer.Event(); }
    bool Pending() const noexcept { return FTransfer.Pending(); }

    void Start()
    {
        while (Open()) {
            if (FDone == FCount) {
                FDone = 0;
                FCount = FInput && FInput->GetSize() - FInput->GetPosition() > 0
                             ? static_cast<DWORD>(std::max(FInput->Read(FRegion, InputRegion), 0))
                             : 0;
                if (FCount == 0) {
                    Close();
                    return;
                }
            }
            DWORD Written = 0;
            OVERLAPPED* Overlapped = FTransfer.Begin(FPipe.get());
            if (::WriteFile(FPipe.get(), FRegion + FDone, FCount - FDone, &Written, Overlapped)) {
                FDone += Written;
                continue;
            }
            if (!FTransfer.Started())
                Close(); // the child no longer reads its input
            return;
        }
    }
    void Complete()
    {
        DWORD Written;
        const TTransfer::TOutcome Outcome = FTransfer.Finish(Written, false);
        if (Outcome == TTransfer::TOutcome::Incomplete)
            return;
        if (Outcome == TTransfer::TOutcome::Failed) {
            Close(); // the child no longer reads its input
            return;
        }
        // A partial write is not an end: the rest goes in the next write.
        FDone += Written;
        Start();
    }
    void Close()
    {
        FTransfer.Cancel();
        FPipe.reset();
    }

private:
    TFileHandle FPipe;
    TTransfer FTransfer;
    std::uint8_t* FRegion;
    TStream* FInput;
    DWORD FDone = 0;
    DWORD FCount = 0;
};

// The child's three handles as the only ones it inherits, so that ctags never
// holds on to unrelated handles of a busy host.
class THandleList {
public:
    // False, as for any other failure, when there are more handles than
    // the list has room for.
    bool Build(const HANDLE* Handles, size_t Count)
    {
        for (size_t I = 0; I < Count; ++I) {
            bool Seen = false;
            for (size_t J = 0; J < FCount; ++J)
                Seen = Seen || FHandles[J] == Handles[I];
            if (Seen)
                continue;
            if (FCount == std::size(FHandles))
                return false;
            FHandles[FCount++] = Handles[I];
        }
        SIZE_T Size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &Size);
        FStorage = std::make_unique<std::uint8_t[]>(Size);
        auto* List = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(FStorage.get());
        if (!::InitializeProcThreadAttributeList(List, 1, 0, &Size)) {
            FStorage.reset();
            return false;
        }
        FList = List;
        return ::UpdateProcThreadAttribute(FList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, FHandles,
                                           FCount * sizeof(HANDLE), nullptr, nullptr) != FALSE;
    }
    ~THandleList()
    {
        if (FList)
            ::DeleteProcThreadAttributeList(FList);
    }
    LPPROC_THREAD_ATTRIBUTE_LIST List() const noexcept { return FList; }

private:
    HANDLE FHandles[3] = {};
    size_t FCount = 0;
    std::unique_ptr<std::uint8_t[]> FStorage;
    LPPROC_THREAD_ATTRIBUTE_LIST FList = nullptr;
};

// Milliseconds from now until Deadline (0 when it has passed); INFINITE
// without a deadline.
DWORD TimeLeft(double Deadline)
{
    if (Deadline <= 0)
        return INFINITE;
    const double Ms = std::ceil((Deadline - Now()) * 86400000.0);
    if (Ms <= 0)
        return 0;
    return Ms >= double(INFINITE - 1) ? INFINITE - 1 : static_cast<DWORD>(Ms);
}

} // namespace

double Now()
{
    FILETIME Utc;
    FILETIME Local;
    ::GetSystemTimeAsFileTime(&Utc);
    ::FileTimeToLocalFileTime(&Utc, &Local);
    ULARGE_INTEGER Ticks;
    Ticks.LowPart = Local.dwLowDateTime;
    Ticks.HighPart = Local.dwHighDateTime;
    // 100-ns ticks since 1601-01-01; 109,205 days separate that from 1899-12-30.
    return static_cast<double>(Ticks.QuadPart) / 864000000000.0 - 109205.0;
}

bool RunProcess(const std::wstring& CommandLine, TStream* Input, TStream* Output, TStream* Errors,
                std::uint32_t& ExitCode, std::uint16_t ShowWindow, std::uint32_t CreationFlags,
                const TProcessOutputEvent& OnOutput, const TProcessOutputEvent& OnError, double Deadline,
                const TProcessTurnEvent& OnTurn)
{
    ExitCode = ProcessNotStarted;
    // Declared first so that it outlives every transfer that points into it.
    const auto Buffer = std::make_unique<std::uint8_t[]>(TransferBufferSize);

    const bool UsePipes = Input || Output || Errors;
    const bool SharedOutput = Errors == Output;
    TPipe InputPipe;
    TPipe OutputPipe;
    TPipe ErrorPipe;
    if (UsePipes && (!CreateRunnerPipe(InputPipe, false) || !CreateRunnerPipe(OutputPipe, true) ||
                     (!SharedOutput && !CreateRunnerPipe(ErrorPipe, true))))
        return false;

    STARTUPINFOEXW Startup{};
    Startup.StartupInfo.cb = sizeof(Startup);
    Startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    Startup.StartupInfo.wShowWindow = ShowWindow;
    THandleList Inherited;
    DWORD Flags = CreationFlags | CREATE_NEW_CONSOLE | CREATE_DEFAULT_ERROR_MODE;
    if (UsePipes) {
        Startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
        Startup.StartupInfo.hStdInput = InputPipe.Read.get();
        Startup.StartupInfo.hStdOutput = OutputPipe.Write.get();
        Startup.StartupInfo.hStdError = SharedOutput ? OutputPipe.Write.get() : ErrorPipe.Write.get();
        const HANDLE Handles[] = {Startup.StartupInfo.hStdInput, Startup.StartupInfo.hStdOutput,
                                  Startup.StartupInfo.hStdError};
        if (!Inherited.Build(Handles, 3))
            return false;
        Startup.lpAttributeList = Inherited.List();
        Flags |= EXTENDED_STARTUPINFO_PRESENT;
    }

    PROCESS_INFORMATION Info{};
    bool Created = false;
    // ERROR_INTERNAL_ERROR means the new process died while the system was
    // still starting it (seen now and then on a loaded machine): that is no
    // missing program, so it is tried again. Every other failure is final.
    for (int Attempt = 0; !Created && Attempt < 3; ++Attempt) {
        if (Attempt > 0 && ::GetLastError() != ERROR_INTERNAL_ERROR)
            break;
        std::wstring WritableCommandLine = CommandLine;
        Created = ::CreateProcessW(nullptr, WritableCommandLine.data(), nullptr, nullptr, UsePipes ? TRUE : FALSE,
                                   Flags, nullptr, nullptr, &Startup.StartupInfo, &Info) != FALSE;
    }
    if (!Created)
        return false;
    TKernelHandle Process(Info.hProcess);
    TKernelHandle Thread(Info.hThread);
    // A run that an event or the caller's turn ends early leaves no child
    // behind: it is ended and waited for before its handles close.
    bool Exited = false;
    const auto EndChild = ScopeExit([&] {
        if (Exited)
            return;
        ::TerminateProcess(Process.get(), ProcessTimedOut);
        ::WaitForSingleObject(Process.get(), TerminateWaitMs);
    });
    // Only the child may hold these now: the output ends when it is gone.
    InputPipe.Read.reset();
    OutputPipe.Write.reset();
    ErrorPipe.Write.reset();

    TPipeWriter Writer(std::move(InputPipe.Write), Buffer.get() + OutputRegion + ErrorRegion, Input);
    TPipeReader OutputReader(std::move(OutputPipe.Read), Buffer.get(), OutputRegion, Output, OnOutput,
                             Process.get());
    TPipeReader ErrorReader(std::move(ErrorPipe.Read), Buffer.get() + OutputRegion, ErrorRegion, Errors, OnError,
                            Process.get());
    Writer.Start();
    OutputReader.Start();
    ErrorReader.Start();

    enum class TSource { Output, Errors, Input };
    const auto Complete = [&](TSource Source) {
        switch (Source) {
        case TSource::Output:
            return OutputReader.Complete();
        case TSource::Errors:
            return ErrorReader.Complete();
        case TSource::Input:
            return Writer.Complete();
        }
    };
    ULONGLONG NextTurn = ::GetTickCount64() + ProcessTurnInterval;
    // Milliseconds until the caller's next turn, taking the turn when it is due.
    const auto Turn = [&]() -> DWORD {
        if (!OnTurn)
            return INFINITE;
        ULONGLONG Now = ::GetTickCount64();
        if (Now >= NextTurn) {
            OnTurn();
            Now = ::GetTickCount64();
            NextTurn = Now + ProcessTurnInterval;
        }
        return static_cast<DWORD>(NextTurn - Now);
    };
    // Rounds in a row in which bytes were announced but no read finished;
    // a pipe that never delivers must not hold the run for ever.
    int Settling = 0;
    for (;;) {
        // Pipe events come first: WaitForMultipleObjects reports the lowest
        // signalled index, so data is always taken before the exit.
        HANDLE Handles[4];
        TSource Sources[4];
        DWORD Count = 0;
        const auto Watch = [&](HANDLE Event, TSource Source) {
            Handles[Count] = Event;
            Sources[Count++] = Source;
        };
        if (OutputReader.Watched())
            Watch(OutputReader.Event(), TSource::Output);
        if (ErrorReader.Watched())
            Watch(ErrorReader.Event(), TSource::Errors);
        if (Exited) {
            // Whatever the child wrote is in a finished read or still in the
            // pipe; the zero wait lets finished reads report before the pipes
            // are judged empty.
            if (Count == 0)
                break;
            const DWORD Ready = ::WaitForMultipleObjects(Count, Handles, FALSE, 0);
            if (Ready < WAIT_OBJECT_0 + Count) {
                Settling = 0;
                Complete(Sources[Ready - WAIT_OBJECT_0]);
                continue;
            }
            if ((OutputReader.Drained() && ErrorReader.Drained()) || ++Settling > 100)
                break;
            // Bytes are on their way into a read; let it finish.
            ::WaitForMultipleObjects(Count, Handles, FALSE, 10);
            continue;
        }
        if (Writer.Pending())
            Watch(Writer.Event(), TSource::Input);
        Handles[Count] = Process.get();
        // Checked here too: while output keeps coming, some pipe event is
        // always signalled and the wait below never times out.
        const DWORD UntilTurn = Turn();
        const DWORD Left = TimeLeft(Deadline);
        const DWORD Result =
            Left == 0 ? WAIT_TIMEOUT : ::WaitForMultipleObjects(Count + 1, Handles, FALSE, std::min(Left, UntilTurn));
        if (Result < WAIT_OBJECT_0 + Count) {
            Complete(Sources[Result - WAIT_OBJECT_0]);
            continue;
        }
        if (Result == WAIT_TIMEOUT && Left != 0 && TimeLeft(Deadline) != 0)
            continue; // the caller's turn is due, not the deadline
        Exited = true;
        Writer.Close();
        if (Result == WAIT_OBJECT_0 + Count || ::WaitForSingleObject(Process.get(), 0) == WAIT_OBJECT_0) {
            DWORD Code = 0;
            ::GetExitCodeProcess(Process.get(), &Code);
            ExitCode = Code;
        } else {
            // The deadline has passed (or the wait failed, which must not
            // leave a child running unwatched).
            ::TerminateProcess(Process.get(), ProcessTimedOut);
            ::WaitForSingleObject(Process.get(), TerminateWaitMs);
            ExitCode = ProcessTimedOut;
        }
        OutputReader.ChildExited();
        ErrorReader.ChildExited();
    }
    OutputReader.Stop();
    ErrorReader.Stop();
    return true;
}
