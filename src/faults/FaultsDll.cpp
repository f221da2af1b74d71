// The library the fault-injection tests load: the plugin's own code, with
// memory that runs out on demand and two exports more to plan the system
// layer's failures (see base/uFaults.h). It is never shipped.
#include "base/uFaults.h"

#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

void* Allocate(std::size_t Size)
{
    if (SystemFaultHere(TSystemFault::Allocation))
        throw std::bad_alloc();
    void* Block = std::malloc(Size ? Size : 1);
    if (!Block)
        throw std::bad_alloc();
    return Block;
}

void* AllocateAligned(std::size_t Size, std::align_val_t Alignment)
{
    if (SystemFaultHere(TSystemFault::Allocation))
        throw std::bad_alloc();
    void* Block = _aligned_malloc(Size ? Size : 1, static_cast<std::size_t>(Alignment));
    if (!Block)
        throw std::bad_alloc();
    return Block;
}

} // namespace

// Every allocation of the library, its runtime's included, comes here.
void* operator new(std::size_t Size)
{
    return Allocate(Size);
}
void* operator new[](std::size_t Size)
{
    return Allocate(Size);
}
void* operator new(std::size_t Size, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(Size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t Size, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(Size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t Size, std::align_val_t Alignment)
{
    return AllocateAligned(Size, Alignment);
}
void* operator new[](std::size_t Size, std::align_val_t Alignment)
{
    return AllocateAligned(Size, Alignment);
}
void operator delete(void* Block) noexcept
{
    std::free(Block);
}
void operator delete[](void* Block) noexcept
{
    std::free(Block);
}
void operator delete(void* Block, std::size_t) noexcept
{
    std::free(Block);
}
void operator delete[](void* Block, std::size_t) noexcept
{
    std::free(Block);
}
void operator delete(void* Block, std::align_val_t) noexcept
{
    _aligned_free(Block);
}
void operator delete[](void* Block, std::align_val_t) noexcept
{
    _aligned_free(Block);
}
void operator delete(void* Block, std::size_t, std::align_val_t) noexcept
{
    _aligned_free(Block);
}
void operator delete[](void* Block, std::size_t, std::align_val_t) noexcept
{
    _aligned_free(Block);
}

extern "C" {

// Site as TSystemFault counts it; see SetSystemFaultPlan.
void WINAPI LodestarPlanSystemFault(unsigned Site, std::size_t FailAt, BOOL Armed)
{
    if (Site < static_cast<unsigned>(TSystemFault::Count))
        SetSystemFaultPlan(static_cast<TSystemFault>(Site), FailAt, Armed != FALSE);
}

// The calls of Site counted so far, and whether its fault came.
std::size_t WINAPI LodestarSystemFaultCalls(unsigned Site, BOOL* Injected)
{
    if (Site >= static_cast<unsigned>(TSystemFault::Count))
        return 0;
    if (Injected)
        *Injected = SystemFaultInjected(static_cast<TSystemFault>(Site)) ? TRUE : FALSE;
    return SystemFaultCalls(static_cast<TSystemFault>(Site));
}

} // extern "C"
