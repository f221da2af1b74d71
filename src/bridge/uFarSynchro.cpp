#include "bridge/uFarSynchro.h"

#include "base/Registry.h"
#include "bridge/uFarModule.h"

namespace {

// Far from zero, so that a stray small value given to the host by someone
// else is never taken for one of ours.
constexpr std::uintptr_t FirstToken = 0x51C0000;

TUnitObject<TLockedRegistry<TSynchroTarget, std::uintptr_t>> GSynchro;

} // namespace

std::uintptr_t TFarSynchro::Register(TSynchroTarget* Target)
{
    return GSynchro ? GSynchro->Add(Target) : 0;
}

void TFarSynchro::Unregister(std::uintptr_t Token) noexcept
{
    if (GSynchro && Token != 0)
        GSynchro->Remove(Token);
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
    // Targets unregister on this same thread, so the one found cannot go
    // away while it runs; the lock is not held across the call.
    if (TSynchroTarget* Target = GSynchro->Find(reinterpret_cast<std::uintptr_t>(Param)))
        Target->SynchroEvent();
}

void TFarSynchro::InitializeUnit()
{
    GSynchro.Create(FirstToken);
}

void TFarSynchro::FinalizeUnit() noexcept
{
    GSynchro.Destroy();
}
