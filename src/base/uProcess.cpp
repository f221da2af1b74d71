// The process runner. Every pipe is drained continuously by overlapped reads
// waited on together with the child's process handle, on the caller's own
// thread: the child never stalls on a full pipe, no sleep paces the transfer,
// and the events fire where the caller expects them. The child's exit is
// taken from its process handle, so a real exit code of 259 ends the run too.
#include "base/uProcess.h"

#include "base/Handle.h"
#include "base/uProcessStart.h"
#include "base/uStrings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace {

// How the one transfer buffer is shared: the output pipe, the error pipe and
// the input pipe each own a fixed region, so that overlapped transfers on all
// three can be in flight at once.
constexpr DWORD OutputRegion = TransferBufferSize / 2;
constexpr DWORD ErrorRegion = TransferBufferSize / 4;
constexpr DWORD InputRegion = TransferBufferSize / 4;
constexpr DWORD TerminateWaitMs = 3000;
constexpr int ImmediateReadsPerTurn = 8;

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
        case TTransfer::TOutcome::Incomplete: return;
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

// The child's exit code once the wait for it has ended, on its exit
// (Exited) or not: a child still running then is ended (the deadline has
// passed, or the wait failed, which must not leave a child running
// unwatched).
std::uint32_t ExitCodeOf(HANDLE Process, bool Exited)
{
    if (Exited || ::WaitForSingleObject(Process, 0) == WAIT_OBJECT_0) {
        DWORD Code = 0;
        ::GetExitCodeProcess(Process, &Code);
        return Code;
    }
    ::TerminateProcess(Process, ProcessTimedOut);
    ::WaitForSingleObject(Process, TerminateWaitMs);
    return ProcessTimedOut;
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

// The wait loop below is one piece: each round chooses the handles to wait
// on, waits, and acts on what woke it, and the state it keeps (the child's
// exit, the caller's next turn, the rounds spent settling) is shared by all
// of its branches.
bool RunProcess(const std::wstring& CommandLine, TStream* Input, TStream* Output, TStream* Errors,
                std::uint32_t& ExitCode, std::uint16_t ShowWindow, std::uint32_t CreationFlags,
                const TProcessOutputEvent& OnOutput, const TProcessOutputEvent& OnError, double Deadline,
                const TProcessTurnEvent& OnTurn)
{
    ExitCode = ProcessNotStarted;
    // Declared first so that it outlives every transfer that points into it.
    const auto Buffer = std::make_unique<std::uint8_t[]>(TransferBufferSize);
    TChild Child;
    if (!StartChild(CommandLine, Input || Output || Errors, Errors == Output, ShowWindow, CreationFlags, Child))
        return false;
    const HANDLE Process = Child.Process.get();
    // A run that an event or the caller's turn ends early leaves no child
    // behind: it is ended and waited for before its handles close.
    bool Exited = false;
    const auto EndChild = ScopeExit([&] {
        if (Exited)
            return;
        ::TerminateProcess(Process, ProcessTimedOut);
        ::WaitForSingleObject(Process, TerminateWaitMs);
    });

    TPipeWriter Writer(std::move(Child.Input), Buffer.get() + OutputRegion + ErrorRegion, Input);
    TPipeReader OutputReader(std::move(Child.Output), Buffer.get(), OutputRegion, Output, OnOutput, Process);
    TPipeReader ErrorReader(std::move(Child.Errors), Buffer.get() + OutputRegion, ErrorRegion, Errors, OnError,
                            Process);
    Writer.Start();
    OutputReader.Start();
    ErrorReader.Start();

    enum class TSource { Output, Errors, Input };
    const auto Complete = [&](TSource Source) {
        switch (Source) {
        case TSource::Output: return OutputReader.Complete();
        case TSource::Errors: return ErrorReader.Complete();
        case TSource::Input: return Writer.Complete();
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
        Handles[Count] = Process;
        // Checked here too: while output keeps coming, some pipe event is
        // always signalled and the wait below never times out.
        const DWORD UntilTurn = Turn();
        const DWORD Left = TimeLeft(Deadline);
        const DWORD Result = Left == 0 ? WAIT_TIMEOUT
                                       : ::WaitForMultipleObjects(Count + 1, Handles, FALSE, std::min(Left, UntilTurn));
        if (Result < WAIT_OBJECT_0 + Count) {
            Complete(Sources[Result - WAIT_OBJECT_0]);
            continue;
        }
        if (Result == WAIT_TIMEOUT && Left != 0 && TimeLeft(Deadline) != 0)
            continue; // the caller's turn is due, not the deadline
        Exited = true;
        Writer.Close();
        ExitCode = ExitCodeOf(Process, Result == WAIT_OBJECT_0 + Count);
        OutputReader.ChildExited();
        ErrorReader.ChildExited();
    }
    OutputReader.Stop();
    ErrorReader.Stop();
    return true;
}
