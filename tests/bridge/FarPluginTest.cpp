// The plugin framework as the host sees it: exports, failure reports, the
// singleton and the cached plugin information.
#include "PluginTestSupport.h"
#include "plugin/uMessages.h"
#include "plugin/uPlugin.h"

#include <cstring>
#include <functional>
#include <stdexcept>
#include <thread>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// The real plugin, with its commands replaced by whatever a test needs.
class TTestPlugin : public TPlugin {
public:
    std::function<intptr_t()> OnOpen = [] { return intptr_t(0); };
    std::function<bool()> OnConfigure = [] { return true; };
    std::function<std::wstring(TStandardMessage)> OnStandardMessage;
    // Raised inside the export that asks for them, when set.
    std::function<void()> FailStartup, FailIdentity, FailPluginInfo, FailExit;
    std::vector<std::wstring> LogLines;
    std::vector<void*> SynchroParams;
    DWORD SynchroThread = 0;
    int ConfigureCalls = 0;

    intptr_t Open(far3::OPENFROM, const GUID*, intptr_t) override { return OnOpen(); }
    void Startup() override
    {
        if (FailStartup)
            FailStartup();
    }
    void GetIdentity(std::wstring& Title, std::wstring& Description, std::wstring& Author) override
    {
        if (FailIdentity)
            FailIdentity();
        TPlugin::GetIdentity(Title, Description, Author);
    }
    void GetPluginInfo(far3::PLUGIN_FLAGS& Flags, TFarPluginMenu& PluginMenu, TFarPluginMenu& ConfigMenu,
                       TFarPluginMenu& DiskMenu, std::wstring& CommandPrefix) override
    {
        if (FailPluginInfo)
            FailPluginInfo();
        TPlugin::GetPluginInfo(Flags, PluginMenu, ConfigMenu, DiskMenu, CommandPrefix);
    }
    void Exit() override
    {
        if (FailExit)
            FailExit();
    }
    bool Configure(const GUID*) override
    {
        ++ConfigureCalls;
        return OnConfigure();
    }
    // The host asks for the menu before every command; those lines are noise here.
    void Log(const std::wstring& Line) override
    {
        if (Line.rfind(L"GetPluginInfoW", 0) != 0)
            LogLines.push_back(Line);
    }
    std::wstring GetStandardMessage(TStandardMessage Kind) override
    {
        return OnStandardMessage ? OnStandardMessage(Kind) : TPlugin::GetStandardMessage(Kind);
    }
    void ProcessSynchroEvent(void* Param) override
    {
        SynchroParams.push_back(Param);
        SynchroThread = ::GetCurrentThreadId();
    }
};

class FarPluginTest : public TLinkedPluginTest {
protected:
    TTestPlugin* Plugin = nullptr;

    void SetUp() override
    {
        auto Owned = std::make_unique<TTestPlugin>();
        Plugin = Owned.get();
        StartWith(std::move(Owned));
    }

    HANDLE OpenThrowing(std::function<void()> Throw)
    {
        Plugin->OnOpen = [Throw] {
            Throw();
            return intptr_t(1);
        };
        Plugin->LogLines.clear();
        return Host->OpenFromEditor();
    }
};

TEST_F(FarPluginTest, FailureReportShowsFunctionClassAndEveryMessageLine)
{
    EXPECT_EQ(OpenThrowing([] { throw EFarError(L"a\r\n\r\nb\n"); }), nullptr);
    auto Boxes = Host->Messages();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Flags, far3::FMSG_WARNING);
    EXPECT_EQ(Boxes[0].Title, L"Lodestar");
    EXPECT_THAT(Boxes[0].Lines, ElementsAre(L"Exception occurred in function OpenW", L"EFarError", L"a", L"", L"b"));
    EXPECT_THAT(Boxes[0].Buttons, ElementsAre(L"&OK"));
    EXPECT_THAT(Plugin->LogLines,
                ElementsAre(L"OpenW START", L"OpenW: Exception EFarError: a\r\n\r\nb\n", L"OpenW END"));

    // An empty message leaves the title, the two naming lines and the button.
    Host->ClearMessages();
    OpenThrowing([] { throw EFarPluginError(L""); });
    Boxes = Host->Messages();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_THAT(Boxes[0].Lines, ElementsAre(L"Exception occurred in function OpenW", L"EFarPluginError"));
}

TEST_F(FarPluginTest, AbortIsSilent)
{
    EXPECT_EQ(OpenThrowing([] { Abort(); }), nullptr);
    EXPECT_THAT(Host->Messages(), IsEmpty());
    EXPECT_THAT(Plugin->LogLines, ElementsAre(L"OpenW START", L"OpenW END"));
}

TEST_F(FarPluginTest, NoExceptionOfAnyKindReachesTheHost)
{
    OpenThrowing([] { throw std::runtime_error("boom"); });
    OpenThrowing([] { throw 42; });
    const auto Boxes = Host->Messages();
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_THAT(Boxes[0].Lines, ElementsAre(L"Exception occurred in function OpenW", L"std::runtime_error", L"boom"));
    EXPECT_THAT(Boxes[1].Lines, ElementsAre(L"Exception occurred in function OpenW", L"Unknown exception"));

    // ConfigureW answers 0 after a failure.
    Plugin->OnConfigure = []() -> bool { throw std::logic_error("bad"); };
    EXPECT_EQ(Host->Configure(), 0);
}

TEST_F(FarPluginTest, FallbackBoxWhenTheFullReportFailsAndNothingWhenThatFailsToo)
{
    int OkRequests = 0;
    Plugin->OnStandardMessage = [&](TStandardMessage Kind) {
        if (Kind == TStandardMessage::smOk && ++OkRequests == 1)
            throw EFarError(L"no text");
        return Plugin->TPlugin::GetStandardMessage(Kind);
    };
    OpenThrowing([] { throw EFarError(L"first\nsecond"); });
    auto Boxes = Host->Messages();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_THAT(Boxes[0].Lines, ElementsAre(L"Exception occurred in function OpenW", L"EFarError", L"first\nsecond"));

    Host->ClearMessages();
    Plugin->OnStandardMessage = [](TStandardMessage) -> std::wstring { throw std::bad_alloc(); };
    EXPECT_EQ(OpenThrowing([] { throw EFarError(L"x"); }), nullptr);
    EXPECT_THAT(Host->Messages(), IsEmpty());
    EXPECT_EQ(Plugin->LogLines.back(), L"OpenW END");
}

TEST_F(FarPluginTest, ConfigureRefusesASmallRecordButStillLogs)
{
    Plugin->LogLines.clear();
    EXPECT_EQ(Host->Configure(15), 0);
    EXPECT_EQ(Plugin->ConfigureCalls, 0);
    EXPECT_THAT(Plugin->LogLines, ElementsAre(L"ConfigureW START", L"ConfigureW END"));
    EXPECT_EQ(Host->Configure(), 1);
    EXPECT_EQ(Plugin->ConfigureCalls, 1);
}

TEST_F(FarPluginTest, PluginInfoIsBuiltOnceFromTheLanguageOfTheFirstCall)
{
    const TPluginInfoCopy First = Host->GetPluginInfo();
    EXPECT_EQ(First.StructSize, 96u);
    EXPECT_EQ(First.Flags, far3::PF_DISABLEPANELS | far3::PF_EDITOR);
    // The function list, go to definition, back, project tags, making them.
    ASSERT_EQ(First.PluginMenu.size(), 5u);
    ASSERT_EQ(First.PluginConfig.size(), 1u);
    EXPECT_THAT(First.DiskMenu, IsEmpty());
    EXPECT_TRUE(First.CommandPrefix.empty());
    EXPECT_EQ(First.PluginMenu[0].Text, L"Lodestar: function list");
    EXPECT_NE(std::memcmp(&First.PluginMenu[0].Guid, &First.PluginConfig[0].Guid, sizeof(GUID)), 0);

    const size_t GetMsgCalls = Host->CallCount("GetMsg");
    Host->SetLanguage(L"Russian");
    const TPluginInfoCopy Second = Host->GetPluginInfo();
    EXPECT_EQ(Second.PluginMenu[0].Text, L"Lodestar: function list");
    EXPECT_EQ(Host->CallCount("GetMsg"), GetMsgCalls);
}

TEST_F(FarPluginTest, StandardTextsComeFromTheLanguageFile)
{
    // Id -1 is the empty text, never asked of the host (which would show an
    // error box for it).
    const size_t GetMsgCalls = Host->CallCount("GetMsg");
    EXPECT_EQ(GetMsg(MNone), L"");
    EXPECT_EQ(Host->CallCount("GetMsg"), GetMsgCalls);
    EXPECT_EQ(GetMsg(MCtagsExitCode), L"Exit code: %d");

    Host->SetLanguage(L"Russian");
    EXPECT_EQ(Plugin->GetStandardMessage(TStandardMessage::smOk), L"&OK");
    EXPECT_EQ(Plugin->GetStandardMessage(TStandardMessage::smNo), L"&Нет");
    EXPECT_EQ(Plugin->TFarPlugin::GetStandardMessage(TStandardMessage::smOk), L"&OK");
    EXPECT_EQ(Plugin->TFarPlugin::GetStandardMessage(TStandardMessage::smExceptionInFunction),
              L"Exception occurred in function %s");
}

TEST_F(FarPluginTest, SynchroEventsReachThePluginOnTheMainThread)
{
    int Marker = 0;
    std::thread Worker([&] {
        const GUID Guid = TFarModule::PluginGuid();
        TFarModule::StartupInfo().AdvControl(&Guid, far3::ACTL_SYNCHRO, 0, &Marker);
    });
    Worker.join();
    ASSERT_TRUE(Host->WaitForSynchroEvent(1000));
    EXPECT_EQ(Host->DeliverSynchroEvents(), 1u);
    EXPECT_THAT(Plugin->SynchroParams, ElementsAre(&Marker));
    EXPECT_EQ(Plugin->SynchroThread, Host->MainThreadId());
}

TEST_F(FarPluginTest, StartupCopiesOnlyWhatTheHostGave)
{
    // The host's records are gone after SetStartupInfoW, yet services work.
    EXPECT_EQ(TFarModule::GetMsg(1), L"&OK");
    const far3::PluginStartupInfo& Info = TFarModule::StartupInfo();
    EXPECT_EQ(Info.FSF, &Plugin->GetStandardFunctions());
    EXPECT_NE(Info.FSF->TruncPathStr, nullptr);

    // An older host with smaller tables: what it did not give stays empty.
    far3::FarStandardFunctions FSF{};
    FSF.StructSize = 200;
    std::memset(reinterpret_cast<char*>(&FSF) + 8, 0x11, sizeof(FSF) - 8);
    far3::PluginStartupInfo Small{};
    std::memset(static_cast<void*>(&Small), 0x22, sizeof(Small));
    Small.StructSize = 136;
    Small.FSF = &FSF;
    SetStartupInfoW(&Small);
    const far3::PluginStartupInfo& Copy = Plugin->GetStartupInfo();
    EXPECT_EQ(Copy.FSF, &Plugin->GetStandardFunctions());
    EXPECT_NE(Copy.EditorControl, nullptr);
    EXPECT_EQ(Copy.AdvControl, nullptr);
    EXPECT_EQ(Copy.SettingsControl, nullptr);
    EXPECT_NE(Copy.FSF->LTrim, nullptr);
    EXPECT_EQ(Copy.FSF->TruncPathStr, nullptr);

    // Back to the full tables so the host can unload the plugin normally.
    Host->Unload();
    ASSERT_TRUE(Host->LoadStatic(LinkedExports(), TestProgramPath()));
}

TEST_F(FarPluginTest, GlobalInfoFillsTheRecordUpToTheHostsInstance)
{
    far3::GlobalInfo Info;
    std::memset(static_cast<void*>(&Info), 0xAB, sizeof(Info));
    Info.StructSize = sizeof(Info);
    Info.Instance = reinterpret_cast<void*>(0x1234);
    GetGlobalInfoW(&Info);
    EXPECT_EQ(Info.StructSize, far3::GlobalInfoFillSize);
    EXPECT_EQ(std::memcmp(&Info.Guid, &PluginGuidValue, sizeof(GUID)), 0);
    EXPECT_STREQ(Info.Title, L"Lodestar");
    EXPECT_STREQ(Info.Author, L"The Lodestar developers");
    const far3::VersionInfo Min = far3::MakeFarVersion(3, 0, 0, 0, far3::VS_RELEASE);
    EXPECT_EQ(std::memcmp(&Info.MinFarVersion, &Min, sizeof(Min)), 0);
    // The linked test program has no version resource: all zero, no stray bytes.
    const far3::VersionInfo Zero{};
    EXPECT_EQ(std::memcmp(&Info.Version, &Zero, sizeof(Zero)), 0);
    EXPECT_EQ(Info.Instance, reinterpret_cast<void*>(0x1234));
}

// Whatever fails inside an export is reported under the export's name, the
// export gives its neutral result, and the record it was filling is left as
// the host gave it.
TEST_F(FarPluginTest, AFailureInsideAnyExportIsReportedByNameAndLeavesNothingHalfBuilt)
{
    const auto Fail = [] { throw EFarError(L"broken"); };
    const auto Report = [](const wchar_t* Name) {
        return ElementsAre(L"Lodestar", std::wstring(L"Exception occurred in function ") + Name, L"EFarError",
                           L"broken", L"&OK");
    };

    Plugin->FailStartup = Fail;
    far3::PluginStartupInfo Startup = Plugin->GetStartupInfo();
    far3::FarStandardFunctions Functions = Plugin->GetStandardFunctions();
    Startup.FSF = &Functions;
    SetStartupInfoW(&Startup);
    Plugin->FailStartup = nullptr;

    Plugin->FailIdentity = Fail;
    far3::GlobalInfo Global{};
    Global.StructSize = sizeof(Global);
    GetGlobalInfoW(&Global);
    EXPECT_EQ(Global.Title, nullptr);
    EXPECT_EQ(Global.Guid.Data1, 0u);
    Plugin->FailIdentity = nullptr;

    Plugin->FailPluginInfo = Fail;
    far3::PluginInfo Info{};
    Info.StructSize = sizeof(Info);
    GetPluginInfoW(&Info);
    EXPECT_EQ(Info.StructSize, sizeof(Info));
    EXPECT_EQ(Info.PluginMenu.Count, 0u);
    EXPECT_FALSE(Plugin->IsPluginInfoCached());
    Plugin->FailPluginInfo = nullptr;
    // Once the cause is gone the information is built whole.
    EXPECT_EQ(Host->GetPluginInfo().PluginMenu.size(), 5u);

    Plugin->FailExit = Fail;
    far3::ExitInfo Exit{sizeof(far3::ExitInfo), nullptr};
    ExitFARW(&Exit);
    Plugin->FailExit = nullptr;

    EXPECT_THAT(Host->ButtonBoxTexts(), ElementsAre(Report(L"SetStartupInfo"), Report(L"GetGlobalInfoW"),
                                                    Report(L"GetPluginInfoW"), Report(L"ExitFARW")));
}

TEST_F(FarPluginTest, FitStringPadsOrShortensLikeThePathsOfTheHost)
{
    EXPECT_EQ(TFarModule::FitString(L"abc", 6, L'.'), L"abc...");
    EXPECT_EQ(TFarModule::FitString(L"C:\\projects\\lodestar\\src\\main.cpp", 20), L"C:\\...r\\src\\main.cpp");
    EXPECT_EQ(TFarModule::FitString(L"C:\\a", 0), L"");
}

TEST_F(FarPluginTest, LogFmtKeepsALineWhoseFormatDoesNotMatch)
{
    Plugin->LogLines.clear();
    TFarModule::LogFmt(L"%d tags in %s", {12, L"a.c"});
    TFarModule::LogFmt(L"%d tags", {L"twelve"});
    TFarModule::LogFmt(L"%s and %s", {L"one"});
    EXPECT_THAT(Plugin->LogLines,
                ElementsAre(L"12 tags in a.c", L"Invalid log message: %d tags", L"Invalid log message: %s and %s"));
}

TEST_F(FarPluginTest, ALinkedProgramWithoutVersionResourceReportsZero)
{
    EXPECT_EQ(Host->PluginVersion.Major + Host->PluginVersion.Minor + Host->PluginVersion.Revision +
                  Host->PluginVersion.Build,
              0u);
    EXPECT_EQ(Host->Title, L"Lodestar");
}

TEST(FarPluginSingleton, RegistrationIsOnceAndAskingEarlyFails)
{
    TFarModule::InitializeUnit();
    try {
        TFarPlugin::Instance();
        ADD_FAILURE() << "Instance before registration must fail";
    } catch (const EFarPluginError& E) {
        EXPECT_EQ(E.Message(), L"The plugin has not been initialized yet");
    }
    // Exports called with no plugin object do nothing and return neutral.
    far3::OpenInfo Info{sizeof(far3::OpenInfo), far3::OPEN_EDITOR, nullptr, 0, nullptr};
    EXPECT_EQ(OpenW(&Info), nullptr);

    TFarPlugin::RegisterInstance(std::make_unique<TPlugin>());
    try {
        TFarPlugin::RegisterInstance(std::make_unique<TPlugin>());
        ADD_FAILURE() << "a second registration must fail";
    } catch (const EFarPluginError& E) {
        EXPECT_EQ(E.Message(), L"The plugin has already been initialized");
        EXPECT_STREQ(E.ClassName(), L"EFarPluginError");
    }
    TFarModule::FinalizeUnit();
    EXPECT_FALSE(TFarPlugin::HasInstance());
}

TEST(SplitLines, BreaksAtCrLfCrOrLfWithoutATrailingEmptyLine)
{
    EXPECT_THAT(TFarModule::SplitLines(L""), IsEmpty());
    EXPECT_THAT(TFarModule::SplitLines(L"a\r\n\r\nb\n"), ElementsAre(L"a", L"", L"b"));
    EXPECT_THAT(TFarModule::SplitLines(L"a\rb\r\rc"), ElementsAre(L"a", L"b", L"", L"c"));
    EXPECT_THAT(TFarModule::SplitLines(L"\n\r"), ElementsAre(L"", L""));
    EXPECT_THAT(TFarModule::SplitLines(L"\n\rx"), ElementsAre(L"", L"", L"x"));
}

} // namespace
