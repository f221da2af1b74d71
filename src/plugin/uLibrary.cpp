#include "uLibrary.h"

#include "uFarDialog.h"
#include "uFarModule.h"
#include "uPlugin.h"
#include "uSystem.h"

void LibraryInitialize()
{
    TFarModule::InitializeUnit();
    TFarDialog::InitializeUnit();
    SystemInitializeUnit();
    PluginInitialize();
}

void LibraryFinalize() noexcept
{
    // Leftover temporary files go before the plugin object, which
    // TFarModule frees last of all.
    SystemFinalizeUnit();
    TFarDialog::FinalizeUnit();
    TFarModule::FinalizeUnit();
}

void LibraryProcessExit() noexcept
{
    DeleteTempFiles();
}
