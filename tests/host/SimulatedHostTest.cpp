// The simulated host must behave as the real one does, or the plugin's tests
// prove nothing.
#include "FarHost.h"
#include "HostServices.h"
#include "LngFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

using ::testing::ElementsAre;

namespace {

std::wstring Trunc(std::wstring Text, intptr_t Width)
{
    Text.push_back(L'\0');
    host::TruncPathStr(Text.data(), Width);
    return Text.c_str();
}

std::string Utf8Bom(const std::string& Text)
{
    return "\xEF\xBB\xBF" + Text;
}

} // namespace

TEST(SimulatedHost, TruncPathStrKeepsTheRootThenDotsThenTheEnd)
{
    EXPECT_EQ(Trunc(L"C:\\one\\two\\three\\file.txt", 16), L"C:\\...e\\file.txt");
    EXPECT_EQ(Trunc(L"\\\\server\\share\\dir\\sub\\file.txt", 24), L"\\\\server\\share\\...le.txt");
    // No root, or a root that leaves too little room: just the end.
    EXPECT_EQ(Trunc(L"relative\\path\\file.txt", 10), L"...ile.txt");
    EXPECT_EQ(Trunc(L"\\\\server\\share\\file.txt", 12), L"...\\file.txt");
    EXPECT_EQ(Trunc(L"C:\\short", 20), L"C:\\short");
    EXPECT_EQ(Trunc(L"abcdef", 3), L"abc");
}

TEST(SimulatedHost, LanguageFilesAreReadAsTheHostReadsThem)
{
    TLngFile File;
    ASSERT_TRUE(ParseLngFile(Utf8Bom(".Language=Russian,Русский\r\n// note\r\n  \"Один\"  \r\n"
                                     "\"a \\\"quoted\\\" \\\\ word\\n\"\r\n\"\"\"doubled\"\r\n\"no closing\r\n"),
                             File));
    EXPECT_EQ(File.Language, L"Russian");
    EXPECT_EQ(File.Description, L"Русский");
    EXPECT_THAT(File.Messages, ElementsAre(L"Один", L"a \"quoted\" \\ word\n", L"\"doubled", L"no closing"));

    TLngFile NoHeader;
    EXPECT_FALSE(ParseLngFile("\"text\"\n.Language=English,English\n", NoHeader));
}

TEST(SimulatedHost, MessageBoxesFollowTheHostsItemConventions)
{
    TFarHost Host;
    const wchar_t* Items[] = {L"Title", L"line 1", L"line 2", L"Yes", L"No"};
    Host.QueueMessageResult(1);
    EXPECT_EQ(Host.ShowMessage(&Host.PluginGuid, far3::FMSG_WARNING, Items, 5, 2), 1);
    EXPECT_EQ(Host.ShowMessage(&Host.PluginGuid, far3::FMSG_MB_OKCANCEL, Items, 3, 7), 0);
    EXPECT_EQ(Host.ShowMessage(&Host.PluginGuid, 0, Items, 2, 0), -1); // no buttons: nothing waits
    const auto Boxes = Host.Messages();
    ASSERT_EQ(Boxes.size(), 3u);
    EXPECT_THAT(Boxes[0].Lines, ElementsAre(L"line 1", L"line 2"));
    EXPECT_THAT(Boxes[0].Buttons, ElementsAre(L"Yes", L"No"));
    EXPECT_THAT(Boxes[1].Lines, ElementsAre(L"line 1", L"line 2"));
    EXPECT_THAT(Boxes[1].Buttons, ElementsAre(L"Ok", L"Cancel"));
    EXPECT_TRUE(Host.Errors().empty());

    // What the real host refuses is an error here.
    EXPECT_EQ(Host.ShowMessage(&Host.PluginGuid, 0, Items, 1, 0), -1);
    const GUID Other{1, 2, 3, {4}};
    EXPECT_EQ(Host.ShowMessage(&Other, 0, Items, 2, 0), -1);
    EXPECT_EQ(Host.Errors().size(), 2u);
}

TEST(SimulatedHost, ScreenHandlesAreTracked)
{
    TFarHost Host;
    HANDLE A = host::SaveScreen(0, 0, -1, -1);
    HANDLE B = host::SaveScreen(0, 0, -1, -1);
    EXPECT_EQ(Host.SavedScreenCount(), 2u);
    host::RestoreScreen(A);
    host::FreeScreen(B);
    host::RestoreScreen(nullptr); // a full repaint, not an error
    EXPECT_TRUE(Host.Errors().empty());
    host::RestoreScreen(A);
    EXPECT_EQ(Host.Errors().size(), 1u);
}

TEST(SimulatedHost, AFrontEndDrawsBoxesAndScreensAndAnswersInsteadOfTheScripts)
{
    struct TRecorder : THostFrontEnd {
        std::vector<std::wstring> Seen;
        intptr_t Message(const TMessageBox& Box) override
        {
            Seen.push_back(L"box " + Box.Lines.front());
            return 1;
        }
        void ScreenSaved(HANDLE) override { Seen.push_back(L"saved"); }
        void ScreenRestored(HANDLE, bool Restore) override { Seen.push_back(Restore ? L"restored" : L"freed"); }
    } FrontEnd;
    TFarHost Host;
    Host.QueueMessageResult(0);
    Host.SetFrontEnd(&FrontEnd);
    const wchar_t* Items[] = {L"Title", L"line", L"Yes", L"No"};
    EXPECT_EQ(Host.ShowMessage(&Host.PluginGuid, 0, Items, 4, 2), 1);
    // A box without buttons is drawn; nothing waits, whatever the front end says.
    EXPECT_EQ(Host.ShowMessage(&Host.PluginGuid, 0, Items, 2, 0), -1);
    host::RestoreScreen(host::SaveScreen(0, 0, -1, -1));
    host::FreeScreen(host::SaveScreen(0, 0, -1, -1));
    EXPECT_THAT(FrontEnd.Seen, ElementsAre(L"box line", L"box line", L"saved", L"restored", L"saved", L"freed"));

    // Without it the scripted answers serve again.
    Host.SetFrontEnd(nullptr);
    EXPECT_EQ(Host.ShowMessage(&Host.PluginGuid, 0, Items, 4, 2), 0);
    EXPECT_EQ(Host.Messages().size(), 3u);
    EXPECT_TRUE(Host.Errors().empty());
}

TEST(SimulatedHost, AFaultPlanRefusesTheNthCountedCallAsTheHostRefusesAndDoesNothingElse)
{
    TFarHost Host;
    const GUID* Me = &Host.PluginGuid;
    Host.Editors().Open(L"C:\\a.c", L"text");
    far3::FarDialogItem Item{};
    Item.Type = far3::DI_TEXT;
    Item.X2 = 10;
    Item.Data = L"old";
    const HANDLE Dialog = host::DialogInit(Me, nullptr, -1, -1, 20, 5, nullptr, &Item, 1, 0, 0, nullptr, nullptr);
    far3::FarSettingsCreate Open{sizeof(Open), Host.PluginGuid, nullptr};
    ASSERT_TRUE(host::SettingsControl(INVALID_HANDLE_VALUE, far3::SCTL_CREATE, far3::PSL_ROAMING, &Open));
    const HANDLE Settings = Open.Handle;
    const wchar_t* Box[] = {L"Title", L"Ok"};
    far3::EditorSetPosition Position{sizeof(Position), 0, 2, -1, -1, -1, -1};
    SMALL_RECT Rect{-5, -5, -5, -5};
    wchar_t LongPath[] = L"C:\\some\\long\\path";
    far3::FarSettingsCreate Create{sizeof(Create), Host.PluginGuid, nullptr};

    struct {
        const char* Fault;
        std::function<intptr_t()> Call;
        intptr_t Refusal;
        std::function<bool()> Untouched;
    } Cases[] = {
        {"Message", [&] { return host::Message(Me, nullptr, 0, nullptr, Box, 2, 1); }, -1,
         [&] { return Host.Messages().empty(); }},
        {"GetMsg",
         [&] {
             const wchar_t* Text = host::GetMsg(Me, 0);
             return Text ? intptr_t(*Text) : -7;
         },
         0, [] { return true; }},
        {"SaveScreen", [&] { return reinterpret_cast<intptr_t>(host::SaveScreen(0, 0, -1, -1)); }, 0,
         [&] { return Host.SavedScreenCount() == 0; }},
        {"AdvControl(ACTL_SYNCHRO)", [&] { return host::AdvControl(Me, far3::ACTL_SYNCHRO, 0, &Rect); }, 0,
         [&] { return !Host.WaitForSynchroEvent(0); }},
        {"AdvControl(ACTL_GETFARRECT)", [&] { return host::AdvControl(Me, far3::ACTL_GETFARRECT, 0, &Rect); }, 0,
         [&] { return Rect.Right == -5; }},
        {"EditorControl(ECTL_SETPOSITION)",
         [&] { return host::EditorControl(-1, far3::ECTL_SETPOSITION, 0, &Position); }, 0,
         [&] { return Host.Editors().PositionRequests.empty(); }},
        {"DialogInit",
         [&] {
             return reinterpret_cast<intptr_t>(
                 host::DialogInit(Me, nullptr, -1, -1, 20, 5, nullptr, &Item, 1, 0, 0, nullptr, nullptr));
         },
         -1, [&] { return Host.DialogCount() == 1; }},
        {"DialogRun",
         [&] {
             Host.QueueDialogScript(TDialogScript().Esc());
             return host::DialogRun(Dialog);
         },
         -1, [&] { return Host.DialogEvents().empty() && Host.Dialogs().QueuedScripts() == 1; }},
        {"SendDlgMessage(DM_GETFOCUS)", [&] { return host::SendDlgMessage(Dialog, far3::DM_GETFOCUS, 0, nullptr); }, -1,
         [] { return true; }},
        {"SendDlgMessage(DM_SETTEXTPTR)",
         [&] { return host::SendDlgMessage(Dialog, far3::DM_SETTEXTPTR, 0, const_cast<wchar_t*>(L"new")); }, 0,
         [&] { return Host.FindDialog(Dialog)->Items[0].Data == L"old"; }},
        {"SettingsControl(SCTL_CREATE)",
         [&] { return host::SettingsControl(INVALID_HANDLE_VALUE, far3::SCTL_CREATE, far3::PSL_ROAMING, &Create); }, 0,
         [&] { return !Create.Handle && Host.Settings().OpenHandleCount() == 1; }},
        {"DefDlgProc(DM_GETFOCUS)", [&] { return host::DefDlgProc(Dialog, far3::DM_GETFOCUS, 0, nullptr); }, 0,
         [] { return true; }},
        {"TruncPathStr", [&] { return reinterpret_cast<intptr_t>(host::TruncPathStr(LongPath, 8)); }, 0,
         [&] { return std::wstring(LongPath) == L"C:\\some\\long\\path"; }},
        // A handle goes whatever else does.
        {"SettingsControl(SCTL_FREE)", [&] { return host::SettingsControl(Settings, far3::SCTL_FREE, 0, nullptr); }, 0,
         [&] { return Host.Settings().OpenHandleCount() == 0; }},
    };
    for (auto& Case : Cases) {
        Host.SetFaultPlan(2);
        // Not counted: a progress window's redraw by the clock.
        const wchar_t* Progress[] = {L"Title", L"Working"};
        host::Message(Me, nullptr, far3::FMSG_LEFTALIGN | far3::FMSG_KEEPBACKGROUND, nullptr, Progress, 2, 0);
        Host.ClearMessages();
        EXPECT_EQ(host::AdvControl(Me, far3::ACTL_GETFARMANAGERVERSION, 0, nullptr), TRUE) << Case.Fault;
        EXPECT_EQ(Host.InjectedFault(), "") << Case.Fault;
        EXPECT_EQ(Case.Call(), Case.Refusal) << Case.Fault;
        EXPECT_EQ(Host.InjectedFault(), Case.Fault);
        EXPECT_TRUE(Case.Untouched()) << Case.Fault;
        EXPECT_EQ(host::AdvControl(Me, far3::ACTL_GETFARMANAGERVERSION, 0, nullptr), TRUE) << Case.Fault;
        EXPECT_EQ(Host.FaultableCalls(), 3u) << Case.Fault;
    }
    // A resume whose suspend was refused is not held against the plugin.
    Host.SetFaultPlan(1);
    host::SendDlgMessage(Dialog, far3::DM_ENABLEREDRAW, FALSE, nullptr);
    EXPECT_EQ(host::SendDlgMessage(Dialog, far3::DM_ENABLEREDRAW, TRUE, nullptr), 0);
    // The refused run left its script, which the next run must not find.
    Host.Dialogs().DropScripts();
    EXPECT_EQ(Host.Dialogs().QueuedScripts(), 0u);
    host::DialogFree(Dialog);
    EXPECT_TRUE(Host.Errors().empty());
}
