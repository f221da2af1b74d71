// The simulated host must behave as the real one does, or the plugin's tests
// prove nothing.
#include "FarHost.h"
#include "HostServices.h"
#include "LngFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
