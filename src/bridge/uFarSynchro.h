// Work that another thread wants done on the host's main thread. The host's
// services are not safe to call from any other thread (a dialog message sent
// from a worker races with the host's own loop over the same dialog); the
// host's one thread-safe route is ACTL_SYNCHRO, which comes back through
// ProcessSynchroEventW on the main thread. A target registers once and gets
// a token; a worker posts the token; the main thread looks it up and runs
// the target, or ignores a token whose target has gone.
#pragma once

#include <cstdint>

class TSynchroTarget {
public:
    // Runs on the host's main thread.
    virtual void SynchroEvent() = 0;

protected:
    ~TSynchroTarget() = default;
};

class TFarSynchro {
public:
    TFarSynchro() = delete;

    // Tokens are never reused, so a request that outlives its target can
    // never reach a newer one. Register and Unregister belong to the main
    // thread; Post may come from any thread.
    static std::uintptr_t Register(TSynchroTarget* Target);
    static void Unregister(std::uintptr_t Token) noexcept;
    // Asks the host to call the target back on its main thread. False when
    // the host offers no way to ask.
    static bool Post(std::uintptr_t Token) noexcept;
    // The host's callback: runs the target of Param when it still exists.
    static void Dispatch(void* Param);

    static void InitializeUnit();
    static void FinalizeUnit() noexcept;
};
