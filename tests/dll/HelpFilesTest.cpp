// The help files beside the DLL: the host picks one by its language line, as
// it picks the language file, and opens the topics the plugin names in it. A
// topic missing from one language, or a link to no topic, shows the user an
// error box in place of help.
#include "ToolSupport.h"
#include "plugin/uHelpTopics.h"
#include "plugin/uMessages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

// The file's lines after its byte-order mark, which it must start with.
std::vector<std::wstring> Lines(const std::wstring& Name)
{
    std::vector<std::wstring> Result;
    const std::string Bytes = toolsupport::ReadFileBytes(toolsupport::ProgramFolder() + L"\\" + Name);
    if (Bytes.compare(0, 3, "\xEF\xBB\xBF") != 0) {
        ADD_FAILURE() << tooltext::Narrow(Name) << " is missing or has no UTF-8 byte-order mark";
        return Result;
    }
    const std::wstring Text = tooltext::Widen(Bytes.substr(3));
    for (size_t Start = 0; Start < Text.size();) {
        size_t End = Text.find(L'\n', Start);
        if (End == std::wstring::npos)
            End = Text.size();
        std::wstring Line = Text.substr(Start, End - Start);
        if (!Line.empty() && Line.back() == L'\r')
            Line.pop_back();
        Result.push_back(std::move(Line));
        Start = End + 1;
    }
    return Result;
}

} // namespace

TEST(HelpFiles, EachLanguageHasEveryTopicTheCodeOpensAndLinksOnlyToItsOwnTopics)
{
    std::set<std::wstring> EnglishTopics;
    for (const wchar_t* Language : {L"Eng", L"Rus"}) {
        const std::wstring HelpName = std::wstring(L"Lodestar") + Language + L".hlf";
        const std::string Name = tooltext::Narrow(HelpName);
        const std::vector<std::wstring> Help = Lines(HelpName);
        const std::vector<std::wstring> Lng = Lines(std::wstring(L"Lodestar") + Language + L".lng");
        ASSERT_FALSE(Help.empty());
        ASSERT_FALSE(Lng.empty());
        // The same language name as the messages, or the host shows help in
        // another language than the dialogs.
        EXPECT_EQ(Help.front(), Lng.front()) << Name;
        EXPECT_THAT(Help, ::testing::Contains(::testing::StartsWith(std::wstring(L".PluginContents=Lodestar"))))
            << Name;

        std::set<std::wstring> Topics;
        std::vector<std::wstring> Links;
        const std::wregex Link(L"~[^~]+~@([^@]+)@");
        for (size_t I = 0; I < Help.size(); ++I) {
            const std::wstring& Line = Help[I];
            if (Line.size() > 1 && Line[0] == L'@' && Line[1] != L'@') {
                EXPECT_TRUE(Topics.insert(Line.substr(1)).second) << Name << ": topic " << tooltext::Narrow(Line);
                EXPECT_TRUE(I + 1 < Help.size() && Help[I + 1].starts_with(L"$"))
                    << Name << ": no title line after " << tooltext::Narrow(Line);
                continue;
            }
            // A highlight or a link left open runs on into the following text.
            EXPECT_EQ(std::count(Line.begin(), Line.end(), L'#') % 2, 0) << Name << ": line " << I + 1;
            EXPECT_EQ(std::count(Line.begin(), Line.end(), L'~') % 2, 0) << Name << ": line " << I + 1;
            for (std::wsregex_iterator It(Line.begin(), Line.end(), Link), End; It != End; ++It)
                Links.push_back((*It)[1].str());
        }
        for (const wchar_t* Topic : HelpTopics)
            EXPECT_TRUE(Topics.count(Topic)) << Name << " has no topic " << tooltext::Narrow(Topic);
        EXPECT_FALSE(Links.empty()) << Name;
        for (const std::wstring& Target : Links)
            EXPECT_TRUE(Topics.count(Target)) << Name << " links to no topic " << tooltext::Narrow(Target);
        if (EnglishTopics.empty())
            EnglishTopics = Topics;
        else
            EXPECT_EQ(Topics, EnglishTopics) << Name << ": the languages differ in their topics";
    }
}

// Far 6727 loops for ever, eating memory, when a paragraph's continuation
// indent reaches the width its help window leaves for text: ten columns
// fewer than the console. Every wrap indent leaves text room on a console
// of 40 columns, the narrowest the dialogs fit.
TEST(HelpFiles, EveryWrapIndentFitsAConsoleOfFortyColumns)
{
    constexpr size_t NarrowConsole = 40;
    constexpr size_t FrameAndMargins = 10;
    constexpr size_t LeastText = 10;
    const std::wregex Link(L"~([^~]+)~@[^@]+@");
    for (const wchar_t* Name : {L"LodestarEng.hlf", L"LodestarRus.hlf"}) {
        for (const std::wstring& Line : Lines(Name)) {
            const size_t Marker = Line.find(L"^<wrap>");
            if (Marker == std::wstring::npos || Line.starts_with(L".Options"))
                continue;
            // What the host shows before the marker: highlights and links
            // take no columns of their own.
            std::wstring Shown = std::regex_replace(Line.substr(0, Marker), Link, L"$1");
            Shown.erase(std::remove(Shown.begin(), Shown.end(), L'#'), Shown.end());
            EXPECT_LE(Shown.size() + LeastText, NarrowConsole - FrameAndMargins)
                << tooltext::Narrow(Name) << ": " << tooltext::Narrow(Line);
        }
    }
}

// Two items of one dialog with the same hotkey: Alt with it reaches only
// the first (Russian "&ОК" and "&Отмена" did so).
TEST(LanguageFiles, EachDialogsHotkeysAreDistinct)
{
    const std::vector<std::vector<TMessageId>> Dialogs = {
        {MCtagsPathLabel, MSearchDelayCheck, MTagsFilesLabel, MOk, MCancel},
        {MCtagsPathLabel, MSearchDelayCheckShort, MTagsFilesLabel, MOk, MCancel},
        {MSearchLabel, MOk, MCancel},
    };
    for (const wchar_t* Name : {L"LodestarEng.lng", L"LodestarRus.lng"}) {
        std::vector<std::wstring> Messages;
        for (const std::wstring& Line : Lines(Name))
            if (!Line.empty() && Line.front() == L'"')
                Messages.push_back(Line.substr(1, Line.size() - 2));
        for (const auto& Items : Dialogs) {
            std::set<std::wstring> Keys;
            for (const TMessageId Id : Items) {
                ASSERT_LT(static_cast<size_t>(Id), Messages.size());
                const std::wstring& Text = Messages[static_cast<size_t>(Id)];
                const size_t Marker = Text.find(L'&');
                ASSERT_TRUE(Marker != std::wstring::npos && Marker + 1 < Text.size())
                    << tooltext::Narrow(Name) << ": no hotkey in " << tooltext::Narrow(Text);
                std::wstring Key = Text.substr(Marker + 1, 1);
                ::CharUpperBuffW(Key.data(), 1);
                EXPECT_TRUE(Keys.insert(Key).second)
                    << tooltext::Narrow(Name) << ": the hotkey of " << tooltext::Narrow(Text) << " is taken";
            }
        }
    }
}
