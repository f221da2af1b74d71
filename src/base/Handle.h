// Owning wrappers for Windows handles and scope guards, so that every handle
// is closed, and every clean-up done, on every path without the same call
// repeated on each branch.
#pragma once

#include <windows.h>

#include <utility>

// Each kind of handle knows its own invalid value and its closer.
struct TKernelHandleTraits {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE H) noexcept { ::CloseHandle(H); }
};
struct TFileHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE H) noexcept { ::CloseHandle(H); }
};
struct TFindHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE H) noexcept { ::FindClose(H); }
};

template <class Traits>
class TUniqueHandle {
public:
    TUniqueHandle() noexcept = default;
    explicit TUniqueHandle(HANDLE H) noexcept : FHandle(H) {}
    TUniqueHandle(TUniqueHandle&& Other) noexcept : FHandle(Other.release()) {}
    TUniqueHandle& operator=(TUniqueHandle&& Other) noexcept
    {
        if (this != &Other)
            reset(Other.release());
        return *this;
    }
    TUniqueHandle(const TUniqueHandle&) = delete;
    TUniqueHandle& operator=(const TUniqueHandle&) = delete;
    ~TUniqueHandle() { reset(); }

    HANDLE get() const noexcept { return FHandle; }
    bool valid() const noexcept { return FHandle != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    HANDLE release() noexcept { return std::exchange(FHandle, Traits::Invalid()); }
    void reset(HANDLE H = Traits::Invalid()) noexcept
    {
        const HANDLE Old = std::exchange(FHandle, H);
        if (Old != Traits::Invalid())
            Traits::Close(Old);
    }
    // For out parameters: closes what is held and hands out the slot.
    HANDLE* put() noexcept
    {
        reset();
        return &FHandle;
    }

private:
    HANDLE FHandle = Traits::Invalid();
};

using TKernelHandle = TUniqueHandle<TKernelHandleTraits>;
using TFileHandle = TUniqueHandle<TFileHandleTraits>;
using TFindHandle = TUniqueHandle<TFindHandleTraits>;

// Runs a cleanup on scope exit unless released.
template <class F>
class TScopeExit {
public:
    explicit TScopeExit(F Fn) : FFn(std::move(Fn)) {}
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;
    ~TScopeExit() { Run(); }
    void release() noexcept { FActive = false; }

protected:
    // Runs the cleanup unless it has run or been released; disarmed first,
    // so that a cleanup that fails is not run again.
    void Run()
    {
        if (std::exchange(FActive, false))
            FFn();
    }

private:
    F FFn;
    bool FActive = true;
};

template <class F>
TScopeExit<F> ScopeExit(F Fn)
{
    return TScopeExit<F>(std::move(Fn));
}

// For a clean-up that may itself fail: the normal path ends the scope with
// Finish, which runs it at once and lets its failure reach the caller. A
// path that leaves the scope by a failure runs it from the destructor,
// which must not throw: a failure of the clean-up there is dropped and the
// first failure goes on (where a catch that cleans up and throws again would
// have let the clean-up's own failure replace it). release, for an undo:
// the scope has done its work, nothing is to be undone.
template <class F>
class TScopeFinish : public TScopeExit<F> {
public:
    explicit TScopeFinish(F Fn) : TScopeExit<F>(std::move(Fn)) {}
    ~TScopeFinish()
    {
        try {
            this->Run();
        } catch (...) {
            // See above: the failure that ends the scope is the one reported.
        }
    }
    void Finish() { this->Run(); }
};

template <class F>
TScopeFinish<F> ScopeFinish(F Fn)
{
    return TScopeFinish<F>(std::move(Fn));
}

// A pair of calls on one object held open for a scope: Open when the guard
// is made, Close on every path out, as TScopeFinish runs it (Finish on the
// normal path).
template <class T, void (T::*Open)(), void (T::*Close)()>
class TPairedCall {
public:
    explicit TPairedCall(T& Subject) : FClose(Opened(Subject)) {}
    void Finish() { FClose.Finish(); }

private:
    struct TCloser {
        T* Subject;
        void operator()() const { (Subject->*Close)(); }
    };
    // Open runs before the guard is armed: a failed Open is not closed.
    static TCloser Opened(T& Subject)
    {
        (Subject.*Open)();
        return TCloser{&Subject};
    }

    TScopeFinish<TCloser> FClose;
};

// A critical section owned by the object it is a member of, and a guard that
// holds one for a scope.
class TCriticalSection {
public:
    TCriticalSection() noexcept { ::InitializeCriticalSection(&FSection); }
    ~TCriticalSection() { ::DeleteCriticalSection(&FSection); }
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;

    void Enter() noexcept { ::EnterCriticalSection(&FSection); }
    void Leave() noexcept { ::LeaveCriticalSection(&FSection); }

private:
    CRITICAL_SECTION FSection;
};

class TCriticalSectionLock {
public:
    explicit TCriticalSectionLock(TCriticalSection& Section) noexcept : FSection(Section) { FSection.Enter(); }
    ~TCriticalSectionLock() { FSection.Leave(); }
    TCriticalSectionLock(const TCriticalSectionLock&) = delete;
    TCriticalSectionLock& operator=(const TCriticalSectionLock&) = delete;

private:
    TCriticalSection& FSection;
};

// Keeps GetLastError intact across cleanups that may overwrite it.
class TLastErrorGuard {
public:
    TLastErrorGuard() noexcept : FError(::GetLastError()) {}
    ~TLastErrorGuard() { ::SetLastError(FError); }
    TLastErrorGuard(const TLastErrorGuard&) = delete;
    TLastErrorGuard& operator=(const TLastErrorGuard&) = delete;

private:
    DWORD FError;
};
