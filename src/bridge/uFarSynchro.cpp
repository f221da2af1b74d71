#include "bridge/uFarSynchro.h"

#include "base/Handle.h"
#include "bridge/uFarModule.h"

#include <map>

namespace {

struct TSynchroRegistry {
    TCriticalSection Lock;
    std::map<std::uintptr_t, TSynchroTarget*> Targets;
    // Far from zero, so that a stray small value given to the host by
    // someone else is never taken for one of ours.
    std::uintptr_t NextToken = 0x51C0000;
};

TSynchroRegistry* GSynchro = nullptr;

} // namespace

std::uintptr_t TFarSynchro::Register(TSynchroTarget* Target)
{
    if (!GSynchro)
        return 0;
    TCriticalSectionLock Guard(GSynchro->Lock);
    const std::uintptr_t Token = GSynchro->NextToken++;
    GSynchro->Targets[Token] = Target;
    return Token;
}

void TFarSynchro::Unregister(std::uintptr_t Token) noexcept
{
    if (!GSynchro || Token == 0)
        return;
    TCriticalSectionLock Guard(GSynchro->Lock);
    GSynchro->Targets.erase(Token);
}

bool TFarSynchro::Post(std::uintptr_t Token) noexcept
{
    if (Token == 0)
        return false;
    try {
        const GUID Guid = TFarModule::PluginGuid();
        const auto AdvControl = TFarModule::StartupInfo().AdvControl;
        if (!AdvControl)
            return false;
        AdvControl(&Guid, far3::ACTL_SYNCHRO, 0, reinterpret_cast<void*>(Token));
        return true;
    } catch (...) {
        return false;
    }
}

void TFarSynchro::Dispatch(void* Param)
{
    if (!GSynchro)
        return;
    TSynchroTarget* Target = nullptr;
    {
        TCriticalSectionLock Guard(GSynchro->Lock);
        const auto Found = GSynchro->Targets.find(reinterpret_cast<std::uintptr_t>(Param));
        if (Found == GSynchro->Targets.end())
            return;
        Target = Found->second;
    }
    // Targets unregister on this same thread, so the one found cannot go
    // away while it runs; the lock is not held across the call.
    Target->SynchroEvent();
}

void TFarSynchro::InitializeUnit()
{
    if (!GSynchro)
        GSynchro = new TSynchroRegistry();
}

void TFarSynchro::FinalizeUnit() noexcept
{
    delete GSynchro;
    GSynchro = nullptr;
}
