// The simulated editors must answer EditorControl as the real host does, or
// the editor services' tests prove nothing.
#include "EditorModel.h"
#include "FarHost.h"
#include "HostServices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

using ::testing::ElementsAre;
using ::testing::SizeIs;

namespace {

intptr_t Control(intptr_t Id, far3::EDITOR_CONTROL_COMMANDS Command, intptr_t Param1, void* Param2)
{
    return host::EditorControl(Id, Command, Param1, Param2);
}

// SelStart and SelEnd of every line.
std::vector<std::pair<intptr_t, intptr_t>> Selections(intptr_t Id, intptr_t Lines)
{
    std::vector<std::pair<intptr_t, intptr_t>> Result;
    for (intptr_t I = 0; I < Lines; ++I) {
        far3::EditorGetString Get{};
        Get.StructSize = sizeof(Get);
        Get.StringNumber = I;
        EXPECT_EQ(Control(Id, far3::ECTL_GETSTRING, 0, &Get), TRUE);
        Result.emplace_back(Get.SelStart, Get.SelEnd);
    }
    return Result;
}

} // namespace

TEST(SimulatedEditor, EditorInfoIsFilledOnlyAsFarAsTheRecordReaches)
{
    TFarHost Host;
    Host.Editors().Open(L"a.txt", L"one\ntwo");
    unsigned char Raw[sizeof(far3::EditorInfo) + 8];
    auto* Info = reinterpret_cast<far3::EditorInfo*>(Raw);

    std::memset(Raw, 0xAB, sizeof(Raw));
    Info->StructSize = far3::EditorInfoMinSize;
    EXPECT_EQ(Control(-1, far3::ECTL_GETINFO, 0, Info), TRUE);
    EXPECT_EQ(Info->TotalLines, 2);
    EXPECT_EQ(Raw[far3::EditorInfoMinSize], 0xAB); // WindowArea untouched

    std::memset(Raw, 0xAB, sizeof(Raw));
    Info->StructSize = offsetof(far3::EditorInfo, ClientArea);
    EXPECT_EQ(Control(-1, far3::ECTL_GETINFO, 0, Info), TRUE);
    EXPECT_EQ(Info->WindowArea.left, 0);
    EXPECT_EQ(Raw[offsetof(far3::EditorInfo, ClientArea)], 0xAB);
    EXPECT_TRUE(Host.Errors().empty());

    Info->StructSize = far3::EditorInfoMinSize - 1;
    EXPECT_EQ(Control(-1, far3::ECTL_GETINFO, 0, Info), FALSE);
    EXPECT_THAT(Host.Errors(), SizeIs(1));
}

TEST(SimulatedEditor, SelectionsFollowTheHostsConventions)
{
    TFarHost Host;
    TEditor& Editor = Host.Editors().Open(L"a.txt", L"zero\r\none two\r\nthree\nx\r\nlast");
    Editor.SelectStream(1, 4, 3, 1);
    // Before and after the block: -1; through a line break: SelEnd -1.
    EXPECT_THAT(Selections(Editor.Id, 5),
                ElementsAre(std::pair(-1, 0), std::pair(4, -1), std::pair(0, -1), std::pair(0, 1), std::pair(-1, 0)));
    Editor.SelectStream(1, 4, 3, 0);
    EXPECT_EQ(Selections(Editor.Id, 5)[3], std::make_pair(intptr_t(-1), intptr_t(0)));

    // A column block never includes a line break; a short line has an empty part.
    Editor.SelectColumn(1, 2, 3, 5);
    EXPECT_THAT(Selections(Editor.Id, 5),
                ElementsAre(std::pair(-1, 0), std::pair(2, 5), std::pair(2, 5), std::pair(1, 1), std::pair(-1, 0)));

    far3::EditorInfo Info{};
    Info.StructSize = sizeof(Info);
    Editor.Unselect();
    Control(Editor.Id, far3::ECTL_GETINFO, 0, &Info);
    EXPECT_EQ(Info.BlockType, far3::BTYPE_NONE);
    EXPECT_EQ(Info.BlockStartLine, 0);

    // Reading past the last line is the plugin's mistake.
    far3::EditorGetString Get{};
    Get.StructSize = sizeof(Get);
    Get.StringNumber = 5;
    EXPECT_EQ(Control(Editor.Id, far3::ECTL_GETSTRING, 0, &Get), FALSE);
    EXPECT_THAT(Host.Errors(), SizeIs(1));
}

TEST(SimulatedEditor, PositionsAndFileNamesAreHandledAsTheHostDoes)
{
    TFarHost Host;
    TEditor& Editor = Host.Editors().Open(L"C:\\src\\main.c", std::wstring(40, L'\n'));
    Editor.CurLine = 20;
    Editor.TopScreenLine = 10;

    // A top line below the cursor line is ignored; -1 leaves a field alone.
    far3::EditorSetPosition Pos{sizeof(Pos), 12, -1, -1, 15, -1, -1};
    EXPECT_EQ(Control(-1, far3::ECTL_SETPOSITION, 0, &Pos), TRUE);
    EXPECT_EQ(Editor.CurLine, 12);
    EXPECT_EQ(Editor.TopScreenLine, 10);
    Pos = far3::EditorSetPosition{sizeof(Pos), 500, 3, -1, -1, -1, 1};
    EXPECT_EQ(Control(-1, far3::ECTL_SETPOSITION, 0, &Pos), TRUE);
    EXPECT_EQ(Editor.CurLine, 40);
    EXPECT_EQ(Editor.CurPos, 3);
    EXPECT_TRUE(Editor.Overtype);
    EXPECT_GE(Editor.CurLine, Editor.TopScreenLine);
    EXPECT_LT(Editor.CurLine, Editor.TopScreenLine + Editor.WindowSizeY);

    // The answer is the size needed; the name is copied only into a buffer
    // that holds all of it.
    wchar_t Buffer[32];
    std::wmemset(Buffer, L'#', 32);
    EXPECT_EQ(Control(-1, far3::ECTL_GETFILENAME, 0, nullptr), 14);
    EXPECT_EQ(Control(-1, far3::ECTL_GETFILENAME, 13, Buffer), 14);
    EXPECT_EQ(Buffer[0], L'#');
    EXPECT_EQ(Control(-1, far3::ECTL_GETFILENAME, 14, Buffer), 14);
    EXPECT_STREQ(Buffer, L"C:\\src\\main.c");
    EXPECT_TRUE(Host.Errors().empty());

    // An editor id that does not exist is refused and is a plugin's fault;
    // no current editor is just a refusal.
    EXPECT_EQ(Control(Editor.Id + 1, far3::ECTL_GETFILENAME, 0, nullptr), 0);
    EXPECT_THAT(Host.Errors(), SizeIs(1));
    Host.Editors().Close(Editor.Id);
    EXPECT_EQ(Control(-1, far3::ECTL_GETFILENAME, 0, nullptr), 0);
    EXPECT_THAT(Host.Errors(), SizeIs(1));
}
