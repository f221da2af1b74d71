// What the plugin's tests share: the plugin loaded into the simulated host,
// fakectags configured as the ctags executable, a scratch folder for source
// files, and a look at the snapshot files left in the temporary folder.
#pragma once

#include "PluginTestSupport.h"
#include "tags/TagsTestUtil.h"
#include "tags/uCtags.h"
#include "plugin/uPlugin.h"
#include "base/uStrings.h"
#include "base/uSystem.h"

#include <string>
#include <vector>

namespace plugintest {

using tagstest::FakeCtags;
using tagstest::TScratchDir;
using tagstest::TScript;

// The files in a folder.
using toolsupport::FilesIn;
using toolsupport::LeftIn;

class TPluginTest : public TLinkedPluginTest {
protected:
    TScratchDir Dir;
    // The temporary folder of this test alone, so that snapshots can be
    // counted while other tests run beside it.
    std::wstring TempDir = Dir / L"tmp";

    void SetUp() override
    {
        ::CreateDirectoryW(TempDir.c_str(), nullptr);
        FTmp = std::make_unique<tagstest::TEnvOverride>(L"TMP", TempDir);
        FTemp = std::make_unique<tagstest::TEnvOverride>(L"TEMP", TempDir);
        StartWith(std::make_unique<TPlugin>());
        UseCtags(FakeCtags());
        // The list filters at once unless a test wants the pause.
        Host->Settings().SetNumber(PluginGuidValue, L"", L"FunctionSearchDelayEnabled", 0);
    }

    void TearDown() override
    {
        EXPECT_THAT(LeftIn(TempDir), ::testing::IsEmpty()) << "a temporary file was left behind";
        TLinkedPluginTest::TearDown();
    }

    void UseCtags(const std::wstring& Path)
    {
        Host->Settings().SetString(PluginGuidValue, L"", L"CtagsFileName", Path);
    }

    // An editor on a source file written to the scratch folder.
    TEditor& OpenSource(const std::wstring& Name, const std::string& Utf8Text)
    {
        tagstest::WriteFileBytes(Dir / Name, Utf8Text);
        return Host->Editors().Open(Dir / Name, CodePageToWide(CP_UTF8, Utf8Text));
    }

    // Loads Tags from tag lines as ctags writes them (TAB-separated).
    void LoadTags(TCtags& Tags, const std::vector<std::string>& Lines)
    {
        std::string Script;
        for (const std::string& Line : Lines)
            Script += "out " + Line + "\\n\n";
        const TScript Steer(Dir, Script, L"tags.txt");
        tagstest::WriteFileBytes(Dir / L"any.c", "");
        Tags.SetExecutableName(FakeCtags());
        Tags.LoadFromFile(Dir / L"any.c");
        // The list needs only the tags: ctags' folder need not wait for it.
        Tags.RemoveRunFolder();
    }

    std::vector<std::vector<std::wstring>> Boxes() { return Host->ButtonBoxTexts(); }

private:
    std::unique_ptr<tagstest::TEnvOverride> FTmp, FTemp;
};

} // namespace plugintest
