// The built Lodestar.dll in the simulated host, driven as a user drives it:
// a copy of the plugin's folder in a scratch folder (so a test can put a
// ctags beside it), fakectags as ctags, and a temporary folder of the test's
// own, so that leftover snapshots can be seen.
#pragma once

#include "FarHost.h"
#include "base/uProcess.h"
#include "MacroArgs.h"
#include "tags/TagsTestUtil.h"
#include "plugin/uPlugin.h"
#include "base/uStrings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace dlltest {

// Tags (by the tiny tagger of fakectags), in list order: area 8, LIMIT 1,
// main 14, point 3, print_point 20.
inline const char* const TaggedSource = "#define LIMIT 10\n"
                                        "\n"
                                        "struct point\n"
                                        "{\n"
                                        "    int x, y;\n"
                                        "};\n"
                                        "\n"
                                        "int area(int w, int h)\n"
                                        "{\n"
                                        "    return w * h;\n"
                                        "}\n"
                                        "\n"
                                        "\n"
                                        "int main(void)\n"
                                        "{\n"
                                        "    print_point(0);\n"
                                        "    return area(2, 3);\n"
                                        "}\n"
                                        "\n"
                                        "void print_point(int p)\n"
                                        "{\n"
                                        "}\n";

using tagstest::FakeCtags;
using tagstest::TEnvOverride;
using tagstest::TScratchDir;
using tagstest::TScript;

inline std::wstring BuiltDll()
{
    return toolsupport::ProgramFolder() + L"\\Lodestar.dll";
}

using toolsupport::FilesIn;
using toolsupport::LeftIn;

class TDllTest : public ::testing::Test {
protected:
    TScratchDir Dir;
    std::wstring PluginDir = Dir / L"Lodestar";
    std::wstring TempDir = Dir / L"tmp";
    std::unique_ptr<TFarHost> Host;

    void SetUp() override
    {
        ::CreateDirectoryW(TempDir.c_str(), nullptr);
        ::CreateDirectoryW(PluginDir.c_str(), nullptr);
        FTmp = std::make_unique<TEnvOverride>(L"TMP", TempDir);
        FTemp = std::make_unique<TEnvOverride>(L"TEMP", TempDir);
        const std::wstring Bin = toolsupport::ProgramFolder();
        for (const wchar_t* Name : {L"Lodestar.dll", L"LodestarEng.lng", L"LodestarRus.lng"})
            ASSERT_TRUE(::CopyFileW((Bin + L"\\" + Name).c_str(), (PluginDir + L"\\" + Name).c_str(), FALSE));
        Host = std::make_unique<TFarHost>();
    }

    void TearDown() override
    {
        if (Host) {
            if (Host->IsLoaded()) {
                EXPECT_TRUE(Host->Unload());
            }
            EXPECT_THAT(Host->Errors(), ::testing::IsEmpty());
            // ACTL_SYNCHRO is the one service made to be called from any thread.
            for (const TServiceCall& Call : Host->Calls()) {
                if (Call.Service != "ACTL_SYNCHRO") {
                    EXPECT_EQ(Call.ThreadId, Host->MainThreadId()) << Call.Service << " from another thread";
                }
            }
            Host.reset();
        }
        EXPECT_THAT(LeftIn(TempDir), ::testing::IsEmpty()) << "a temporary file was left behind";
    }

    // Loads the plugin with ctags at Ctags ("" leaves the setting empty).
    void Load(const std::wstring& Ctags = FakeCtags())
    {
        if (!Ctags.empty())
            Host->Settings().SetString(PluginGuidValue, L"", L"CtagsFileName", Ctags);
        // The list filters at once unless a test asked for the pause.
        if (!Host->Settings().GetValue(PluginGuidValue, L"", L"FunctionSearchDelayEnabled"))
            Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelayEnabled", 0);
        ASSERT_TRUE(Host->LoadDll(PluginDir + L"\\Lodestar.dll"));
    }

    // An editor on a file of the scratch folder holding Utf8Text.
    TEditor& OpenSource(const std::wstring& Name, const std::string& Utf8Text)
    {
        tagstest::WriteFileBytes(Dir / Name, Utf8Text);
        return Host->Editors().Open(Dir / Name, CodePageToWide(CP_UTF8, Utf8Text));
    }

    void Script(TDialogScript Script) { Host->QueueDialogScript(std::move(Script)); }

    std::vector<std::vector<std::wstring>> Boxes() { return Host->ButtonBoxTexts(); }

    intptr_t Macro(std::vector<TMacroValue> Values)
    {
        TMacroArgs Args(std::move(Values));
        return reinterpret_cast<intptr_t>(OpenFromMacro(*Host, Args));
    }

private:
    std::unique_ptr<TEnvOverride> FTmp, FTemp;
};

} // namespace dlltest
