// The plugin's dialogs are tested against this engine, so it must answer and
// notify as the real host does, and refuse what the real host cannot take.
#include "FarHost.h"
#include "HostServices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

using namespace far3;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace {

FarDialogItem Item(FARDIALOGITEMTYPES Type, intptr_t Y, const wchar_t* Data, FARDIALOGITEMFLAGS Flags = 0)
{
    FarDialogItem Result{};
    Result.Type = Type;
    Result.X1 = 2;
    Result.Y1 = Result.Y2 = Y;
    Result.X2 = 30;
    Result.Data = Data;
    Result.Flags = Flags;
    return Result;
}

FarDialogItem List(intptr_t Y1, intptr_t Y2, FarList* Entries)
{
    FarDialogItem Result = Item(DI_LISTBOX, Y1, L"");
    Result.Y2 = Y2;
    Result.ListItems = Entries;
    return Result;
}

class DialogEngineTest : public ::testing::Test {
protected:
    TFarHost Host;
    // Answers a message in place of the host's default when it returns a value.
    std::function<std::optional<intptr_t>(HANDLE, intptr_t, intptr_t, void*)> Handler;
    std::vector<FarDialogItem> Items;

    static inline DialogEngineTest* Self = nullptr;
    static intptr_t WINAPI Proc(HANDLE Dialog, intptr_t Msg, intptr_t Param1, void* Param2)
    {
        if (Self->Handler)
            if (const auto Reply = Self->Handler(Dialog, Msg, Param1, Param2))
                return *Reply;
        return host::DefDlgProc(Dialog, Msg, Param1, Param2);
    }

    void SetUp() override { Self = this; }
    void TearDown() override { EXPECT_THAT(Host.Errors(), IsEmpty()); }

    HANDLE Init(void* Param = nullptr)
    {
        return host::DialogInit(&Host.PluginGuid, nullptr, -1, -1, 40, 12, nullptr, Items.data(), Items.size(), 0, 0,
                                &Proc, Param);
    }
    intptr_t Send(HANDLE Dialog, intptr_t Msg, intptr_t Param1, void* Param2 = nullptr)
    {
        return host::SendDlgMessage(Dialog, Msg, Param1, Param2);
    }
    intptr_t Run(HANDLE Dialog, TDialogScript Script)
    {
        Host.QueueDialogScript(std::move(Script));
        return host::DialogRun(Dialog);
    }
    std::wstring Text(HANDLE Dialog, intptr_t Index)
    {
        std::wstring Result(static_cast<size_t>(Send(Dialog, DM_GETTEXT, Index)), L'\0');
        FarDialogItemData Data{sizeof(Data), Result.size(), Result.data()};
        Result.push_back(L'\0');
        Send(Dialog, DM_GETTEXT, Index, &Data);
        Result.pop_back();
        return Result;
    }
    // The notifications so far as "DN_NAME item[ value]", keyboard and mouse input left out.
    std::vector<std::string> Trace()
    {
        std::vector<std::string> Result;
        for (const TDialogEvent& Event : Host.DialogEvents()) {
            if (Event.Msg == DN_CONTROLINPUT)
                continue;
            std::string Line = TDialogEngine::MessageName(Event.Msg);
            Line.append(" ").append(std::to_string(Event.Param1));
            if (Event.Msg == DN_LISTCHANGE || Event.Msg == DN_BTNCLICK)
                Line.append(" ").append(std::to_string(Event.Param2));
            Result.push_back(Line);
        }
        Host.Dialogs().ClearEvents();
        return Result;
    }
    size_t TakeErrors()
    {
        const size_t Count = Host.Errors().size();
        Host.ClearErrors();
        return Count;
    }
};

} // namespace

TEST_F(DialogEngineTest, EnterClosesAsTheDefaultButtonRulesSay)
{
    // 0 edit, 1 check box, 2 default button, 3 button.
    struct TCase {
        const char* Name;
        intptr_t Focus;
        FARDIALOGITEMFLAGS EditFlags, DefaultFlags, OtherFlags;
        bool CtrlEnter;
        intptr_t ExitCode; // -1: stays open, Esc ends it
        std::vector<std::string> Events;
    };
    const std::vector<TCase> Cases = {
        {"edit: the default button, unclicked", 0, 0, DIF_DEFAULTBUTTON, 0, false, 2, {"DN_CLOSE 2"}},
        {"check box: likewise", 1, 0, DIF_DEFAULTBUTTON, 0, false, 2, {"DN_CLOSE 2"}},
        {"disabled default button: nothing", 0, 0, DIF_DEFAULTBUTTON | DIF_DISABLE, 0, false, -1, {"DN_CLOSE -1"}},
        {"no default button: the focused item", 1, 0, 0, 0, false, 1, {"DN_CLOSE 1"}},
        {"default without close: the focused item",
         0,
         0,
         DIF_DEFAULTBUTTON | DIF_BTNNOCLOSE,
         0,
         false,
         0,
         {"DN_CLOSE 0"}},
        {"push button: clicked", 3, 0, DIF_DEFAULTBUTTON, 0, false, 3, {"DN_BTNCLICK 3 0", "DN_CLOSE 3"}},
        {"push button that does not close",
         3,
         0,
         DIF_DEFAULTBUTTON,
         DIF_BTNNOCLOSE,
         false,
         -1,
         {"DN_BTNCLICK 3 0", "DN_CLOSE -1"}},
        {"multi-line edit: next item",
         0,
         DIF_EDITOR,
         DIF_DEFAULTBUTTON,
         0,
         false,
         -1,
         {"DN_KILLFOCUS 0", "DN_GOTFOCUS 1", "DN_CLOSE -1"}},
        {"Ctrl+Enter on a button: the default button", 3, 0, DIF_DEFAULTBUTTON, 0, true, 2, {"DN_CLOSE 2"}},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        Items = {Item(DI_EDIT, 1, L"text", Case.EditFlags | (Case.Focus == 0 ? DIF_FOCUS : 0)),
                 Item(DI_CHECKBOX, 2, L"check", Case.Focus == 1 ? DIF_FOCUS : 0),
                 Item(DI_BUTTON, 3, L"OK", Case.DefaultFlags),
                 Item(DI_BUTTON, 3, L"Cancel", Case.OtherFlags | (Case.Focus == 3 ? DIF_FOCUS : 0))};
        const HANDLE Dialog = Init();
        TDialogScript Script;
        Script.Key(VK_RETURN, Case.CtrlEnter ? LEFT_CTRL_PRESSED : 0);
        if (Case.ExitCode == -1)
            Script.Esc();
        EXPECT_EQ(Run(Dialog, std::move(Script)), Case.ExitCode);
        auto Events = Trace();
        // The start: DN_INITDIALOG, then DN_GOTFOCUS for the focused item.
        ASSERT_GE(Events.size(), 2u);
        EXPECT_EQ(Events[1], "DN_GOTFOCUS " + std::to_string(Case.Focus));
        Events.erase(Events.begin(), Events.begin() + 2);
        EXPECT_EQ(Events, Case.Events);
        host::DialogFree(Dialog);
    }
    EXPECT_EQ(Host.DialogCount(), 0u);
}

TEST_F(DialogEngineTest, ClosingGoesThroughDnClose)
{
    Items = {Item(DI_EDIT, 1, L""), Item(DI_BUTTON, 2, L"OK", DIF_FOCUS)};
    int Refusals = 1;
    Handler = [&](HANDLE, intptr_t Msg, intptr_t, void*) -> std::optional<intptr_t> {
        if (Msg == DN_CLOSE && Refusals-- > 0)
            return FALSE;
        return std::nullopt;
    };
    HANDLE Dialog = Init();
    EXPECT_EQ(Run(Dialog, TDialogScript()
                              .Esc()
                              .Check([](THostDialog& D) { EXPECT_EQ(D.State, THostDialogState::Running); })
                              .Check([&](THostDialog& D) { EXPECT_EQ(Send(D.Handle, DM_CLOSE, -1), TRUE); })),
              1);
    EXPECT_THAT(Trace(), ElementsAre("DN_INITDIALOG 1", "DN_GOTFOCUS 1", "DN_CLOSE -1", "DN_CLOSE 1"));
    // Queries still work after the run; a second run keeps the state.
    EXPECT_EQ(Send(Dialog, DM_GETFOCUS, 0), 1);
    EXPECT_EQ(Run(Dialog, TDialogScript().Esc()), -1);
    EXPECT_THAT(Trace(), ElementsAre("DN_CLOSE -1"));
    host::DialogFree(Dialog);

    // Closed during DN_INITDIALOG: no input is needed.
    Handler = [&](HANDLE D, intptr_t Msg, intptr_t, void*) -> std::optional<intptr_t> {
        if (Msg == DN_INITDIALOG)
            Send(D, DM_CLOSE, 7);
        return std::nullopt;
    };
    Dialog = Init();
    EXPECT_EQ(host::DialogRun(Dialog), 7);
    host::DialogFree(Dialog);
}

TEST_F(DialogEngineTest, ListPositionsFollowTheHostsRules)
{
    FarListItem Initial[] = {{LIF_SEPARATOR, L"-", 0, 0},
                             {LIF_SELECTED, L"one", 1, 0},
                             {0, L"two", 2, 0},
                             {LIF_SELECTED | LIF_DISABLE, L"off", 3, 0}};
    FarList InitialList{sizeof(FarList), 4, Initial};
    Items = {List(1, 6, &InitialList), Item(DI_BUTTON, 8, L"OK")};
    FarListItem Plain[] = {{LIF_DISABLE, L"a", 0, 0},
                           {0, L"b", 0, 0},
                           {LIF_HIDDEN, L"c", 0, 0},
                           {0, L"d", 0, 0},
                           {LIF_SEPARATOR, L"e", 0, 0}};
    FarList PlainList{sizeof(FarList), 5, Plain};
    bool Veto = false;
    Handler = [&](HANDLE D, intptr_t Msg, intptr_t, void*) -> std::optional<intptr_t> {
        if (Msg == DN_INITDIALOG) { // no DN_LISTCHANGE while initialising
            EXPECT_EQ(Send(D, DM_LISTSET, 0, &PlainList), 5);
        }
        if (Msg == DN_LISTCHANGE && Veto)
            return FALSE;
        return std::nullopt;
    };
    auto Pos = [&](HANDLE D) { return Send(D, DM_LISTGETCURPOS, 0); };
    auto SetPos = [&](HANDLE D, intptr_t Select) {
        FarListPos P{sizeof(P), Select, -1};
        return Send(D, DM_LISTSETCURPOS, 0, &P);
    };
    auto Update = [&](HANDLE D, intptr_t Index, LISTITEMFLAGS Flags) {
        FarListUpdate U{sizeof(U), Index, {Flags, L"x", 0, 0}};
        return Send(D, DM_LISTUPDATE, 0, &U);
    };

    const HANDLE Dialog = Init();
    EXPECT_EQ(Send(Dialog, DM_LISTGETCURPOS, 0), 0); // before the run the list does not exist
    EXPECT_EQ(TakeErrors(), 1u);
    Run(Dialog, TDialogScript()
                    .Check([&](THostDialog& D) {
                        EXPECT_EQ(Pos(D.Handle), 1);
                        EXPECT_THAT(Trace(), ElementsAre("DN_INITDIALOG 0", "DN_GOTFOCUS 0"));
                        // Every list set moves to the first focusable entry and says so;
                        // then the last focusable LIF_SELECTED entry is taken silently.
                        Send(D.Handle, DM_LISTSET, 0, &InitialList);
                        EXPECT_EQ(Pos(D.Handle), 1);
                        Send(D.Handle, DM_LISTSET, 0, &PlainList);
                        EXPECT_EQ(Pos(D.Handle), 1);
                        EXPECT_THAT(Trace(), ElementsAre("DN_LISTCHANGE 0 1", "DN_LISTCHANGE 0 1"));
                        // A LIF_SELECTED entry below the window is scrolled to, just far enough.
                        std::vector<FarListItem> Long(30, FarListItem{0, L"n", 0, 0});
                        Long[20].Flags = LIF_SELECTED;
                        FarList LongList{sizeof(FarList), Long.size(), Long.data()};
                        Send(D.Handle, DM_LISTSET, 0, &LongList);
                        FarListPos Shown{sizeof(Shown), -7, -7};
                        EXPECT_EQ(Send(D.Handle, DM_LISTGETCURPOS, 0, &Shown), 20);
                        EXPECT_EQ(Shown.TopPos, 17);
                        Send(D.Handle, DM_LISTSET, 0, &PlainList);
                        EXPECT_THAT(Trace(), ElementsAre("DN_LISTCHANGE 0 0", "DN_LISTCHANGE 0 1"));
                        // Clamped, then the nearest focusable entry in the direction of travel, else the other way;
                        // each change is told twice, and a veto restores the position, says -1 and answers -1.
                        EXPECT_EQ(SetPos(D.Handle, 2), 3);
                        EXPECT_EQ(SetPos(D.Handle, 99), 3);
                        EXPECT_EQ(SetPos(D.Handle, 0), 1);
                        Veto = true;
                        EXPECT_EQ(SetPos(D.Handle, 3), -1);
                        EXPECT_EQ(Pos(D.Handle), 1);
                        EXPECT_THAT(Trace(),
                                    ElementsAre("DN_LISTCHANGE 0 3", "DN_LISTCHANGE 0 3", "DN_LISTCHANGE 0 1",
                                                "DN_LISTCHANGE 0 1", "DN_LISTCHANGE 0 3", "DN_LISTCHANGE 0 -1"));
                        Veto = false;
                    })
                    .Key(VK_DOWN)
                    .Check([&](THostDialog& D) {
                        EXPECT_EQ(Pos(D.Handle), 3); // Down went over the hidden entry
                        // Hiding the current entry moves to the first focusable one; when none is left, -1.
                        EXPECT_EQ(Update(D.Handle, 3, LIF_HIDDEN), TRUE);
                        EXPECT_EQ(Pos(D.Handle), 1);
                        Update(D.Handle, 1, LIF_HIDDEN);
                        FarListPos P{sizeof(P), 5, 5};
                        EXPECT_EQ(Send(D.Handle, DM_LISTGETCURPOS, 0, &P), -1);
                        EXPECT_EQ(P.SelectPos, -1);
                        EXPECT_EQ(P.TopPos, 5);
                        EXPECT_EQ(SetPos(D.Handle, 0), -1);
                        EXPECT_EQ(Send(D.Handle, DM_GETTEXT, 0), 0);
                    })
                    .Esc());
    host::DialogFree(Dialog);
}

TEST_F(DialogEngineTest, DialogItemsRoundTripThroughGetAndSetDlgItem)
{
    FarListItem Entries[] = {{0, L"alpha", 10, 0}, {LIF_SELECTED, L"beta", 20, 0}};
    FarList Entries2{sizeof(FarList), 2, Entries};
    Items = {Item(DI_EDIT, 1, L"some text"), List(2, 5, &Entries2), Item(DI_BUTTON, 6, L"Go")};
    Items[0].History = L"hist";
    const HANDLE Dialog = Init();
    Run(Dialog, TDialogScript().Esc());

    const intptr_t Size = Send(Dialog, DM_GETDLGITEM, 0);
    EXPECT_EQ(Size, static_cast<intptr_t>(sizeof(FarDialogItem) + (10 + 5) * sizeof(wchar_t)));
    std::vector<unsigned char> Buffer(static_cast<size_t>(Size) + 8, 0xEE);
    FarGetDialogItem Get{sizeof(Get), static_cast<size_t>(Size) - 1, reinterpret_cast<FarDialogItem*>(Buffer.data())};
    EXPECT_EQ(Send(Dialog, DM_GETDLGITEM, 0, &Get), Size);
    EXPECT_EQ(Buffer[0], 0xEE); // too small: untouched
    Get.Size = static_cast<size_t>(Size);
    EXPECT_EQ(Send(Dialog, DM_GETDLGITEM, 0, &Get), Size);
    FarDialogItem& Copy = *Get.Item;
    EXPECT_STREQ(Copy.Data, L"some text");
    EXPECT_STREQ(Copy.History, L"hist");
    EXPECT_EQ(Copy.Mask, nullptr);
    const auto* Begin = reinterpret_cast<const unsigned char*>(Copy.Data);
    EXPECT_TRUE(Begin > Buffer.data() && Begin < Buffer.data() + Size);
    EXPECT_EQ(Buffer[static_cast<size_t>(Size)], 0xEE);

    Copy.Data = L"new";
    Copy.Flags |= DIF_READONLY;
    EXPECT_EQ(Send(Dialog, DM_SETDLGITEM, 0, &Copy), TRUE);
    EXPECT_EQ(Text(Dialog, 0), L"new");
    EXPECT_EQ(Host.FindDialog(Dialog)->Items[0].Flags & DIF_READONLY, DIF_READONLY);
    Copy.Type = DI_BUTTON;
    EXPECT_EQ(Send(Dialog, DM_SETDLGITEM, 0, &Copy), FALSE);
    EXPECT_EQ(TakeErrors(), 1u);

    // A list box comes with its entries; the current one carries LIF_SELECTED.
    std::vector<unsigned char> ListBuffer(static_cast<size_t>(Send(Dialog, DM_GETDLGITEM, 1)));
    FarGetDialogItem GetList{sizeof(GetList), ListBuffer.size(), reinterpret_cast<FarDialogItem*>(ListBuffer.data())};
    Send(Dialog, DM_GETDLGITEM, 1, &GetList);
    const FarList& Listed = *GetList.Item->ListItems;
    ASSERT_EQ(Listed.ItemsNumber, 2u);
    EXPECT_STREQ(Listed.Items[1].Text, L"beta");
    EXPECT_EQ(Listed.Items[1].Flags, LIF_SELECTED);
    EXPECT_EQ(Listed.Items[0].UserData, 10);
    host::DialogFree(Dialog);
}

TEST_F(DialogEngineTest, GetTextAnswersEveryForm)
{
    Items = {Item(DI_EDIT, 1, L"abcdef"), Item(DI_BUTTON, 2, L"OK")};
    const HANDLE Dialog = Init();
    wchar_t Buffer[16];
    std::wmemset(Buffer, L'#', 16);
    FarDialogItemData Data{sizeof(Data), 3, Buffer};
    EXPECT_EQ(Send(Dialog, DM_GETTEXT, 0), 6);
    EXPECT_EQ(Send(Dialog, DM_GETTEXT, 0, &Data), 3);
    EXPECT_STREQ(Buffer, L"abc");
    Data.PtrLength = 0;
    EXPECT_EQ(Send(Dialog, DM_GETTEXT, 0, &Data), 6);
    EXPECT_EQ(Data.PtrLength, 6u);
    EXPECT_STREQ(Buffer, L"abcdef");
    EXPECT_EQ(Text(Dialog, 1), L"OK");
    EXPECT_EQ(Send(Dialog, DM_SETTEXTPTR, 1, const_cast<wchar_t*>(L"Start")), 5);
    EXPECT_EQ(Text(Dialog, 1), L"Start");
    Data.StructSize = 16;
    EXPECT_EQ(Send(Dialog, DM_GETTEXT, 0, &Data), 0);
    EXPECT_EQ(TakeErrors(), 1u);
    host::DialogFree(Dialog);
}

TEST_F(DialogEngineTest, TypedKeysGoToTheProcedureFirstAndEditsNotifyAfterTheChange)
{
    Items = {Item(DI_EDIT, 1, L"old"), Item(DI_CHECKBOX, 2, L"3-state", DIF_3STATE), Item(DI_BUTTON, 3, L"OK")};
    Items[0].MaxLength = 4;
    std::vector<std::wstring> Seen;
    bool AcceptClick = true;
    Handler = [&](HANDLE D, intptr_t Msg, intptr_t, void* Param2) -> std::optional<intptr_t> {
        if (Msg == DN_CONTROLINPUT) {
            const auto& Record = *static_cast<const INPUT_RECORD*>(Param2);
            if (Record.EventType == KEY_EVENT && Record.Event.KeyEvent.uChar.UnicodeChar == L'x')
                return TRUE;
        }
        if (Msg == DN_EDITCHANGE) {
            EXPECT_EQ(Text(D, 0), static_cast<const FarDialogItem*>(Param2)->Data);
            Seen.push_back(static_cast<const FarDialogItem*>(Param2)->Data);
        }
        if (Msg == DN_BTNCLICK)
            return AcceptClick;
        return std::nullopt;
    };
    const HANDLE Dialog = Init();
    Run(Dialog, TDialogScript()
                    .Type(L"axbcde") // the first key replaces the unchanged text; x is consumed; e is past MaxLength
                    .Key(VK_LEFT)
                    .Key(VK_BACK)
                    .Key(VK_UP, SHIFT_PRESSED) // not a navigation key with Shift held
                    .Check([](THostDialog& D) { EXPECT_EQ(D.Focus, 0); })
                    .Click(1)
                    .Click(1)
                    .Check([&](THostDialog&) { AcceptClick = false; })
                    .Key(VK_SPACE)
                    .Esc());
    EXPECT_THAT(Seen, ElementsAre(L"a", L"ab", L"abc", L"abcd", L"abd"));
    EXPECT_EQ(Send(Dialog, DM_GETCHECK, 1), BSTATE_3STATE);
    auto Events = Trace();
    EXPECT_THAT(std::vector<std::string>(Events.end() - 5, Events.end()),
                ElementsAre("DN_GOTFOCUS 1", "DN_BTNCLICK 1 1", "DN_BTNCLICK 1 2", "DN_BTNCLICK 1 0", "DN_CLOSE -1"));
    host::DialogFree(Dialog);
}

TEST_F(DialogEngineTest, FocusRadioGroupsAndRedrawLocksBehaveAsInTheHost)
{
    Items = {Item(DI_EDIT, 1, L""), Item(DI_RADIOBUTTON, 2, L"one", DIF_GROUP), Item(DI_RADIOBUTTON, 3, L"two"),
             Item(DI_BUTTON, 4, L"OK")};
    Items[1].Selected = 1;
    Handler = [&](HANDLE, intptr_t Msg, intptr_t Param1, void*) -> std::optional<intptr_t> {
        if (Msg == DN_KILLFOCUS && Param1 == 1)
            return 3; // redirect
        return std::nullopt;
    };
    const HANDLE Dialog = Init();
    Run(Dialog, TDialogScript()
                    .Key(VK_TAB)
                    .Key(VK_DOWN)
                    .Check([&](THostDialog& D) {
                        EXPECT_EQ(D.Focus, 3);
                        EXPECT_EQ(Send(Dialog, DM_SHOWITEM, 3, nullptr), 1); // the focus moves on, wrapping
                        EXPECT_EQ(D.Focus, 0);
                        EXPECT_EQ(Send(Dialog, DM_SETCHECK, 2, reinterpret_cast<void*>(BSTATE_CHECKED)), 0);
                        EXPECT_EQ(Send(Dialog, DM_GETCHECK, 1), 0);
                        for (intptr_t Resume : {0, 0, 1, 1})
                            Send(Dialog, DM_ENABLEREDRAW, Resume);
                        EXPECT_EQ(D.RedrawLock, 0);
                        EXPECT_EQ(D.RedrawCount, 1u);
                        Send(Dialog, DM_ENABLEREDRAW, 0);
                    })
                    .Esc());
    EXPECT_THAT(Trace(),
                ElementsAre("DN_INITDIALOG 0", "DN_GOTFOCUS 0", "DN_KILLFOCUS 0", "DN_GOTFOCUS 1", "DN_KILLFOCUS 1",
                            "DN_GOTFOCUS 3", "DN_KILLFOCUS 3", "DN_GOTFOCUS 0", "DN_CLOSE -1"));
    EXPECT_EQ(TakeErrors(), 1u); // it waited for input with its redraw suspended
    host::DialogFree(Dialog);
}

TEST_F(DialogEngineTest, PlacementFollowsTheConsole)
{
    Items = {Item(DI_TEXT, 1, L"label"), Item(DI_BUTTON, 2, L"OK")};
    std::optional<COORD> Resized;
    Handler = [&](HANDLE, intptr_t Msg, intptr_t, void* Param2) -> std::optional<intptr_t> {
        if (Msg == DN_RESIZECONSOLE)
            Resized = *static_cast<COORD*>(Param2);
        return std::nullopt;
    };
    const HANDLE Dialog = Init();
    auto Rect = [&] {
        SMALL_RECT R{};
        Send(Dialog, DM_GETDLGRECT, 0, &R);
        return std::vector<SHORT>{R.Left, R.Top, R.Right, R.Bottom};
    };
    EXPECT_THAT(Rect(), ElementsAre(20, 6, 59, 17));
    Run(Dialog, TDialogScript().Resize(100, 30).Esc());
    ASSERT_TRUE(Resized);
    EXPECT_EQ(Resized->X, 100);
    EXPECT_THAT(Rect(), ElementsAre(30, 9, 69, 20));
    COORD Where{5, -1};
    EXPECT_EQ(Send(Dialog, DM_MOVEDIALOG, 1, &Where), reinterpret_cast<intptr_t>(&Where));
    EXPECT_EQ(Where.Y, 9);
    COORD Size{20, 4};
    EXPECT_EQ(Send(Dialog, DM_RESIZEDIALOG, 0, &Size), reinterpret_cast<intptr_t>(&Size));
    EXPECT_THAT(Rect(), ElementsAre(5, 13, 24, 16)); // still centred vertically
    host::DialogFree(Dialog);
}

TEST_F(DialogEngineTest, MisuseIsRecorded)
{
    Items = {Item(DI_EDIT, 1, L"text")};
    const HANDLE Dialog = Init();
    struct TCase {
        const char* Name;
        std::function<intptr_t()> Call;
        intptr_t Result;
    };
    const HANDLE Unknown = reinterpret_cast<HANDLE>(0x1234);
    const std::vector<TCase> Cases = {
        {"unknown handle", [&] { return Send(Unknown, DM_GETTEXT, 0); }, 0},
        {"unknown handle, DM_GETFOCUS", [&] { return Send(Unknown, DM_GETFOCUS, 0); }, -1},
        {"unknown handle, DM_LISTADDSTR", [&] { return Send(Unknown, DM_LISTADDSTR, 0); }, -1},
        {"item out of range", [&] { return Send(Dialog, DM_ENABLE, 1, reinterpret_cast<void*>(-1)); }, 0},
        {"a message the engine does not know", [&] { return Send(Dialog, DM_SETCURSORPOS, 0); }, 0},
        {"no items",
         [&] {
             return reinterpret_cast<intptr_t>(host::DialogInit(&Host.PluginGuid, nullptr, -1, -1, 10, 5, nullptr,
                                                                nullptr, 0, 0, 0, nullptr, nullptr));
         },
         -1},
        {"negative size",
         [&] {
             return reinterpret_cast<intptr_t>(host::DialogInit(&Host.PluginGuid, nullptr, 5, 5, -3, 10, nullptr,
                                                                Items.data(), 1, 0, 0, nullptr, nullptr));
         },
         -1},
        {"another thread",
         [&] {
             intptr_t Result = 0;
             std::thread([&] { Result = Send(Dialog, DM_GETTEXT, 0); }).join();
             return Result; // carried out all the same
         },
         4},
        {"a run without a script", [&] { return host::DialogRun(Dialog); }, -1},
        {"a script that ends too soon", [&] { return Run(Dialog, TDialogScript().Type(L"a")); }, -1},
        {"an exception from the dialog procedure",
         [&] {
             Handler = [](HANDLE, intptr_t Msg, intptr_t, void*) -> std::optional<intptr_t> {
                 if (Msg == DN_CLOSE)
                     throw std::runtime_error("escaped");
                 return std::nullopt;
             };
             return Run(Dialog, TDialogScript().Esc()); // the default reply lets it close
         },
         -1},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(Case.Call(), Case.Result);
        EXPECT_EQ(TakeErrors(), 1u);
    }
    host::DialogFree(Dialog);
    host::DialogFree(INVALID_HANDLE_VALUE);
    EXPECT_THAT(Host.Errors(), IsEmpty());
    host::DialogFree(Dialog);
    EXPECT_EQ(TakeErrors(), 1u);
}

namespace {

DWORD GSynchroThread = 0;
HANDLE GSynchroDialog = nullptr;

void WINAPI TinyGlobalInfo(GlobalInfo* Info)
{
    Info->Title = Info->Description = Info->Author = L"dialog test";
    Info->Guid = GUID{0x1D1A1060, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
}

intptr_t WINAPI TinySynchro(const ProcessSynchroEventInfo* Info)
{
    GSynchroThread = ::GetCurrentThreadId();
    host::SendDlgMessage(GSynchroDialog, DM_CLOSE, reinterpret_cast<intptr_t>(Info->Param), nullptr);
    return 0;
}

} // namespace

TEST_F(DialogEngineTest, SynchroEventsArriveDuringAWaitAndUnfreedDialogsLeak)
{
    TPluginExports Exports;
    Exports.GetGlobalInfoW = &TinyGlobalInfo;
    Exports.ProcessSynchroEventW = &TinySynchro;
    ASSERT_TRUE(Host.LoadStatic(Exports, L"tiny.dll"));
    Items = {Item(DI_BUTTON, 1, L"OK")};
    GSynchroDialog = Init();
    std::thread Worker;
    const intptr_t Result = Run(GSynchroDialog, TDialogScript()
                                                    .Check([&](THostDialog&) {
                                                        Worker = std::thread([&] {
                                                            ::Sleep(50);
                                                            host::AdvControl(&Host.PluginGuid, ACTL_SYNCHRO, 0,
                                                                             reinterpret_cast<void*>(5));
                                                        });
                                                    })
                                                    .Wait(5000));
    Worker.join();
    EXPECT_EQ(Result, 5); // closed from the synchro event, long before the wait ran out
    EXPECT_EQ(GSynchroThread, Host.MainThreadId());
    EXPECT_EQ(Host.LastDialog()->ExitCode, 5);
    Host.Unload();
    EXPECT_THAT(Host.Errors(), SizeIs(1)); // the dialog was never freed
    EXPECT_EQ(Host.DialogCount(), 0u);
    Host.ClearErrors();
}
