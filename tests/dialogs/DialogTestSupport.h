// The dialog framework's tests run the plugin linked into the test program
// against the simulated host's dialog engine.
#pragma once

#include "PluginTestSupport.h"
#include "dialogs/uButtonsDialog.h"
#include "dialogs/uFarControls.h"
#include "dialogs/uFarListbox.h"
#include "plugin/uPlugin.h"
#include "dialogs/uSearchDialog.h"

#include <string>
#include <vector>

// {0E4C5B19-7A2D-4E63-9C8F-3B1D6A5E2F70}
inline constexpr GUID TestDialogGuid = {0x0e4c5b19, 0x7a2d, 0x4e63, {0x9c, 0x8f, 0x3b, 0x1d, 0x6a, 0x5e, 0x2f, 0x70}};

// A bare dialog whose controls a test adds itself.
class TTestDialog : public TFarDialog {
public:
    TTestDialog() : TFarDialog(TestDialogGuid) {}
};

class TTestOkCancelDialog : public TOkCancelDialog {
public:
    TTestOkCancelDialog() : TOkCancelDialog(TestDialogGuid) {}
};

class TTestSearchDialog : public TSearchDialog {
public:
    TTestSearchDialog() : TSearchDialog(TestDialogGuid) {}
    std::vector<intptr_t> Selected;
    void ItemSelected(intptr_t Index) override { Selected.push_back(Index); }
};

class TDialogTest : public TLinkedPluginTest {
protected:
    void SetUp() override { StartWith(std::make_unique<TPlugin>()); }

    // The host's dialog while it exists.
    THostDialog& Live(const TFarDialog& Dialog)
    {
        THostDialog* Found = Host->FindDialog(Dialog.GetHandle());
        if (!Found)
            throw std::runtime_error("the dialog is not alive in the host");
        return *Found;
    }

    size_t Count(intptr_t Msg) const
    {
        size_t Result = 0;
        for (const TDialogEvent& Event : Host->DialogEvents())
            Result += Event.Msg == Msg;
        return Result;
    }
};
