// The plugin linked into a benchmark and started in the simulated host, as
// the tests start it; freed again, with the host's errors printed, at the end.
#pragma once

#include "LinkedPlugin.h"

#include "dialogs/uFarDialog.h"
#include "plugin/uPlugin.h"

#include <cstdio>
#include <functional>
#include <memory>

namespace bench {

class TBenchPlugin {
public:
    // Prepare runs before the plugin loads (to fill the settings store).
    explicit TBenchPlugin(const std::function<void(TFarHost&)>& Prepare = {})
    {
        TFarModule::InitializeUnit();
        TFarDialog::InitializeUnit();
        TFarPlugin::RegisterInstance(std::make_unique<TPlugin>());
        FHost = std::make_unique<TFarHost>();
        if (Prepare)
            Prepare(*FHost);
        FStarted = FHost->LoadStatic(LinkedExports(), TestProgramPath());
        if (!FStarted)
            std::printf("the plugin did not start\n");
    }
    ~TBenchPlugin()
    {
        FHost->Unload();
        for (const std::wstring& Error : FHost->Errors())
            std::printf("  host error: %ls\n", Error.c_str());
        FHost.reset();
        TFarDialog::FinalizeUnit();
        TFarModule::FinalizeUnit();
    }
    TBenchPlugin(const TBenchPlugin&) = delete;
    TBenchPlugin& operator=(const TBenchPlugin&) = delete;

    bool Started() const { return FStarted; }
    TFarHost& Host() { return *FHost; }

private:
    std::unique_ptr<TFarHost> FHost;
    bool FStarted = false;
};

// Runs a benchmark's body and turns a failure into a line and exit code 1.
template <class F>
int RunBench(const char* Name, F&& Body)
{
    try {
        return Body();
    } catch (const Exception& E) {
        std::printf("%s benchmark failed: %ls: %ls\n", Name, E.ClassName(), E.Message().c_str());
        return 1;
    }
}

} // namespace bench
