// Shared set-up for tests that run the plugin linked into the test program
// against the simulated host.
#pragma once

#include "FarHost.h"
#include "LinkedPlugin.h"
#include "dialogs/uFarDialog.h"
#include "bridge/uFarExports.h"
#include "bridge/uFarPlugin.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

// Registers Plugin (or, when null, leaves registration to the caller) and
// loads the linked exports into a fresh simulated host. Every test ends with
// the plugin unloaded and no host error recorded.
class TLinkedPluginTest : public ::testing::Test {
protected:
    std::unique_ptr<TFarHost> Host;

    void StartWith(std::unique_ptr<TFarPlugin> Plugin)
    {
        TFarModule::InitializeUnit();
        TFarDialog::InitializeUnit();
        TFarPlugin::RegisterInstance(std::move(Plugin));
        Host = std::make_unique<TFarHost>();
        ASSERT_TRUE(Host->LoadStatic(LinkedExports(), TestProgramPath()));
    }

    // The user's input for the next dialog the plugin runs.
    void Script(TDialogScript Input) { Host->QueueDialogScript(std::move(Input)); }

    void TearDown() override
    {
        if (Host) {
            Host->Unload();
            EXPECT_THAT(Host->Errors(), ::testing::IsEmpty());
            Host.reset();
        }
        TFarDialog::FinalizeUnit();
        TFarModule::FinalizeUnit();
    }
};
