#include "base/uFaults.h"

#include <windows.h>

#include <atomic>

namespace {

constexpr auto Sites = static_cast<std::size_t>(TSystemFault::Count);

// Plain globals, not objects with constructors: allocations may ask before
// any constructor of this library has run.
std::atomic<bool> GArmed{false};
std::atomic<DWORD> GThread{0};
TSystemFault GSite = TSystemFault::Allocation;
std::size_t GFailAt = 0;
std::size_t GCalls[Sites] = {};
bool GInjected[Sites] = {};

} // namespace

bool SystemFaultHere(TSystemFault Site) noexcept
{
    if (!GArmed.load(std::memory_order_relaxed) || ::GetCurrentThreadId() != GThread.load())
        return false;
    const auto Index = static_cast<std::size_t>(Site);
    if (++GCalls[Index] != GFailAt || Site != GSite)
        return false;
    GInjected[Index] = true;
    return true;
}

void SetSystemFaultPlan(TSystemFault Site, std::size_t FailAt, bool Armed) noexcept
{
    GArmed.store(false);
    GSite = Site;
    GFailAt = FailAt;
    for (std::size_t I = 0; I < Sites; ++I) {
        GCalls[I] = 0;
        GInjected[I] = false;
    }
    GThread.store(::GetCurrentThreadId());
    GArmed.store(Armed);
}

std::size_t SystemFaultCalls(TSystemFault Site) noexcept
{
    return GCalls[static_cast<std::size_t>(Site)];
}

bool SystemFaultInjected(TSystemFault Site) noexcept
{
    return GInjected[static_cast<std::size_t>(Site)];
}
