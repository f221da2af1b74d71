#include "plugin/uLibrary.h"

#include "dialogs/uFarDialog.h"
#include "bridge/uFarModule.h"
#include "plugin/uPlugin.h"
#include "base/uSystem.h"

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
