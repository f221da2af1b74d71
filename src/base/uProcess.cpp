// The process runner. The child writes its output and its errors into files
// of the runner's (uProcessStart.cpp), which the runner reads on its own
// thread while it waits and when the child has ended: a file takes a write
// with a plain system call, where under wine every write into a pipe is a
// round trip through the wineserver, and a C runtime writing to a pipe
// writes each line on its own. The child's input stays a pipe, fed by
// overlapped writes waited on together with the child's process handle. The
// child's exit is taken from its process handle, so a real exit code of 259
// ends the run too.
#include "base/uProcess.h"

#include "base/Handle.h"
#include "base/uProcessStart.h"
#include "base/uStrings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace {

// How the one transfer buffer is shared: the output, the errors and the
// input each own a fixed region.
constexpr DWORD OutputRegion = TransferBufferSize / 2;
constexpr DWORD ErrorRegion = TransferBufferSize / 4;
constexpr DWORD InputRegion = TransferBufferSize / 4;
constexpr DWORD TerminateWaitMs = 3000;

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

// Reads what the child has written into one of its files, in order, from
// where the last read stopped: the file only grows while the child runs.
// It never holds more than Limit bytes.
class TFileReader {
public:
    TFileReader(TFileHandle File, std::uint8_t* Region, DWORD RegionSize, TStream* Target,
                const TProcessOutputEvent& Event, HANDLE Process, std::uint64_t Limit)
        : FFile(std::move(File)), FRegion(Region), FRegionSize(RegionSize), FTarget(Target), FEvent(Event),
          FProcess(Process), FLimit(Limit)
    {
    }

    // The bytes written so far, as the file's size says.
    std::uint64_t Written() const noexcept
    {
        LARGE_INTEGER Size{};
        return FFile && ::GetFileSizeEx(FFile.get(), &Size) ? static_cast<std::uint64_t>(Size.QuadPart) : 0;
    }
    // Whether Size bytes are more than the run holds.
    bool Exceeds(std::uint64_t Size) const noexcept { return Size > FLimit; }

    // Room for what is still to come up to End, which is known once the
    // child has ended.
    void Reserve(std::uint64_t End)
    {
        End = std::min(End, FLimit);
        if (FTarget && End > FDone)
            FTarget->Reserve(static_cast<std::int64_t>(End - FDone));
    }

    // Delivers what has come since the last call, up to End bytes in all
    // (what a process the child started writes after the child's exit is
    // not the child's output) and never past the limit, until the tick
    // count reaches Until. True when it delivered all there was, false when
    // the time ran out first.
    bool Drain(std::uint64_t End, ULONGLONG Until)
    {
        End = std::min(End, FLimit);
        while (FFile && FDone < End) {
            const DWORD Want = static_cast<DWORD>(std::min<std::uint64_t>(FRegionSize, End - FDone));
            DWORD Count = 0;
            if (!::ReadFile(FFile.get(), FRegion, Want, &Count, nullptr) || Count == 0)
                return true;
            FDone += Count;
            if (FTarget)
                FTarget->WriteBuffer(FRegion, static_cast<std::int32_t>(Count));
            if (FEvent)
                FEvent(FProcess, FRegion, Count);
            if (::GetTickCount64() >= Until)
                return FDone >= End;
        }
        return true;
    }

private:
    TFileHandle FFile;
    std::uint8_t* FRegion;
    DWORD FRegionSize;
    TStream* FTarget;
    const TProcessOutputEvent& FEvent;
    HANDLE FProcess;
    std::uint64_t FLimit;
    std::uint64_t FDone = 0;
};

// Feeds the caller's input stream to the child, one region at a time, and
// closes the pipe at the end of the input so that the child sees it end.
class TPipeWriter {
public:
    TPipeWriter(std::uint8_t* Region, TStream* Input) : FRegion(Region), FInput(Input) {}

    // False when its event could not be made.
    bool Ready() const noexcept { return FTransfer.Ready(); }
    void Attach(TFileHandle Pipe) { FPipe = std::move(Pipe); }
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

// The wait loop below is one piece: each round chooses what to wait on,
// waits, and acts on what woke it, and the state it keeps (the child's exit,
// the caller's next turn) is shared by all of its branches.
bool RunProcess(const std::wstring& CommandLine, TStream* Input, TStream* Output, TStream* Errors,
                std::uint32_t& ExitCode, std::uint16_t ShowWindow, std::uint32_t CreationFlags,
                const TProcessOutputEvent& OnOutput, const TProcessOutputEvent& OnError, double Deadline,
                const TProcessTurnEvent& OnTurn, const TProcessOptions& Options, TProcessStatus* Status)
{
    ExitCode = ProcessNotStarted;
    TProcessStatus Unasked;
    TProcessStatus& Said = Status ? *Status : Unasked;
    Said = TProcessStatus{};
    // Declared first so that it outlives every transfer that points into it.
    const auto Buffer = std::make_unique<std::uint8_t[]>(TransferBufferSize);
    TPipeWriter Writer(Buffer.get() + OutputRegion + ErrorRegion, Input);
    if (!Writer.Ready()) {
        Said = {TProcessFailure::Setup, ::GetLastError()};
        return false;
    }
    TChild Child;
    TChildOutputs Outputs;
    Outputs.Output = Output || OnOutput;
    Outputs.Errors = Errors || OnError;
    Outputs.Shared = Errors == Output;
    if (!StartChild(CommandLine, Input || Output || Errors, Outputs, ShowWindow, CreationFlags, Options, Child, Said))
        return false;
    const HANDLE Process = Child.Process.get();
    // A run that an event or the caller's turn ends early leaves no child
    // behind: it is ended and waited for before its handles close, and its
    // files go with the last of them.
    bool Exited = false;
    const auto EndChild = ScopeExit([&] {
        if (Exited)
            return;
        ::TerminateProcess(Process, ProcessTimedOut);
        ::WaitForSingleObject(Process, TerminateWaitMs);
    });

    Writer.Attach(std::move(Child.Input));
    TFileReader OutputReader(std::move(Child.Output), Buffer.get(), OutputRegion, Output, OnOutput, Process,
                             Options.OutputLimit);
    TFileReader ErrorReader(std::move(Child.Errors), Buffer.get() + OutputRegion, ErrorRegion, Errors, OnError, Process,
                            Options.ErrorLimit);
    Writer.Start();

    // A child that writes more than is held is ended at once: its output
    // would be cut, and a cut list must not pass for the whole.
    const auto Overflowed = [&](std::uint64_t OutputSize, std::uint64_t ErrorSize) -> bool {
        if (OutputReader.Exceeds(OutputSize))
            Said.Failure = TProcessFailure::OutputLimit;
        else if (ErrorReader.Exceeds(ErrorSize))
            Said.Failure = TProcessFailure::ErrorLimit;
        else
            return false;
        ExitCode = ProcessOutputExceeded;
        return true;
    };
    // The caller's turn comes every ProcessTurnInterval, and the copying
    // goes on in slices that end when the next turn is due: however fast
    // the child writes, the caller can redraw and look at the keyboard.
    ULONGLONG NextTurn = ::GetTickCount64() + ProcessTurnInterval;
    const auto Turn = [&] {
        if (::GetTickCount64() < NextTurn)
            return;
        if (OnTurn)
            OnTurn();
        NextTurn = ::GetTickCount64() + ProcessTurnInterval;
    };
    const bool Deliver = OnTurn || OnOutput || OnError;
    // The last slice ended before all that had come was copied: the next
    // round does not wait.
    bool Behind = false;
    for (;;) {
        Turn();
        HANDLE Handles[2];
        DWORD Count = 0;
        if (Writer.Pending())
            Handles[Count++] = Writer.Event();
        Handles[Count] = Process;
        const ULONGLONG Ticks = ::GetTickCount64();
        DWORD UntilTurn = NextTurn > Ticks ? static_cast<DWORD>(NextTurn - Ticks) : 0;
        if (Options.DrainInterval != 0 && (OnOutput || OnError))
            UntilTurn = std::min(UntilTurn, Options.DrainInterval);
        const DWORD Left = TimeLeft(Deadline);
        const DWORD Result = Left == 0 ? WAIT_TIMEOUT
                                       : ::WaitForMultipleObjects(Count + 1, Handles, FALSE,
                                                                  Behind ? 0 : std::min(Left, UntilTurn));
        if (Result < WAIT_OBJECT_0 + Count) {
            Writer.Complete();
            continue;
        }
        if (Result == WAIT_TIMEOUT && Left != 0 && TimeLeft(Deadline) != 0) {
            Turn();
            if (Overflowed(OutputReader.Written(), ErrorReader.Written())) {
                Exited = true;
                ::TerminateProcess(Process, ProcessOutputExceeded);
                ::WaitForSingleObject(Process, TerminateWaitMs);
                return true;
            }
            // A slice of what has come, up to the caller's next turn. A
            // caller who takes no turns and no events gets it all once the
            // child has ended: copying meanwhile would only take the
            // processor from the child.
            if (Deliver) {
                const bool OutputDone = OutputReader.Drain(UINT64_MAX, NextTurn);
                const bool ErrorDone = ErrorReader.Drain(UINT64_MAX, NextTurn);
                Behind = !OutputDone || !ErrorDone;
            }
            continue;
        }
        Exited = true;
        Writer.Close();
        ExitCode = ExitCodeOf(Process, Result == WAIT_OBJECT_0 + Count);
        break;
    }
    // What the child wrote before it ended, and nothing a process it started
    // writes afterwards; still in slices, with the caller's turns between.
    const std::uint64_t OutputEnd = OutputReader.Written();
    const std::uint64_t ErrorEnd = ErrorReader.Written();
    if (Overflowed(OutputEnd, ErrorEnd))
        return true;
    OutputReader.Reserve(OutputEnd);
    ErrorReader.Reserve(ErrorEnd);
    for (;;) {
        const bool OutputDone = OutputReader.Drain(OutputEnd, NextTurn);
        const bool ErrorDone = ErrorReader.Drain(ErrorEnd, NextTurn);
        if (OutputDone && ErrorDone)
            return true;
        Turn();
    }
}
