#include "uLibrary.h"

#include "uFarModule.h"
#include "uPlugin.h"

void LibraryInitialize()
{
    TFarModule::InitializeUnit();
    PluginInitialize();
}

void LibraryFinalize() noexcept
{
    TFarModule::FinalizeUnit();
}
