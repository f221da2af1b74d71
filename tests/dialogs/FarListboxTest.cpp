// List boxes and their entries: the host-format list, hiding and moving the
// selection, and how changes reach a running dialog.
#include "DialogTestSupport.h"

using ::testing::ElementsAre;

namespace {

class FarListboxTest : public TDialogTest {
protected:
    TDialogPtr<TTestDialog> Dialog;
    TFarDialog::TListbox* List = nullptr;

    void SetUp() override
    {
        TDialogTest::SetUp();
        Dialog = TFarDialog::Create<TTestDialog>();
        List = Dialog->AddListbox(1, 1, 30, 10, L"Values");
    }
    void TearDown() override
    {
        Dialog.reset();
        TDialogTest::TearDown();
    }

    TListboxItems& Items() { return List->GetItems(); }
    void Fill(int Count)
    {
        for (int I = 0; I < Count; ++I)
            Items().AddItem(L"entry " + std::to_wstring(I));
    }
};

} // namespace

TEST_F(FarListboxTest, EntriesLiveInTheHostsListFormat)
{
    EXPECT_EQ(List->DialogItem().ListItems, List->GetHostList());
    // Without DIF_LISTNOAMPERSAND the host shows an entry's '&' as it is.
    EXPECT_FALSE(List->GetFlags() & far3::DIF_LISTNOAMPERSAND);
    Fill(65);
    EXPECT_EQ(Items().Count(), 65);
    EXPECT_EQ(Items().Capacity(), 128);
    EXPECT_EQ(Items().GetHostList()->ItemsNumber, 65u);
    EXPECT_STREQ(Items().GetHostList()->Items[64].Text, L"entry 64");
    EXPECT_EQ(Items().GetHostList()->Items[65].Text, nullptr);

    delete Items().GetItem(1);
    EXPECT_EQ(Items().Count(), 64);
    EXPECT_EQ(Items().GetItem(1)->GetIndex(), 1);
    EXPECT_STREQ(Items().GetHostList()->Items[1].Text, L"entry 2");
    EXPECT_EQ(Items().GetItem(1)->GetText(), L"entry 2");

    Items().Clear();
    Fill(1000);
    Items().Clear();
    const far3::FarList& Empty = *Items().GetHostList();
    EXPECT_EQ(Empty.StructSize, 24u);
    EXPECT_EQ(Empty.ItemsNumber, 0u);
    EXPECT_EQ(Empty.Items, nullptr);
    try {
        Items().GetItem(0);
        ADD_FAILURE() << "no failure";
    } catch (const EListError& E) {
        EXPECT_EQ(E.Message(), L"Index out of bounds");
    }
}

TEST_F(FarListboxTest, SelectionMovesOverSelectableEntriesAndStopsAtTheLast)
{
    Fill(5);
    struct {
        intptr_t From, Delta;
        bool SkipDisabled;
        intptr_t To;
    } const Cases[] = {
        {2, 1, true, 2},    // 3 hidden, 4 disabled: nothing below
        {2, 1, false, 4},   // disabled entries count without SkipDisabled
        {4, -10, false, 0}, // past the top: the first
        {0, 2, true, 2},    {2, 0, true, 2},
    };
    Items().GetItem(3)->SetVisible(false);
    Items().GetItem(4)->SetFlag(far3::LIF_DISABLE, true);
    for (const auto& Case : Cases) {
        List->SetItemIndex(Case.From);
        EXPECT_TRUE(List->MoveSelection(Case.Delta, Case.SkipDisabled));
        EXPECT_EQ(List->GetItemIndex(), Case.To) << Case.From << " by " << Case.Delta;
    }

    // Before the dialog exists OnSelect may refuse a new selection.
    List->OnSelect = [](TFarDialog::TListbox&, intptr_t NewIndex, bool& Allow) { Allow = NewIndex != 1; };
    List->SetItemIndex(1);
    EXPECT_EQ(List->GetItemIndex(), 2);
}

TEST_F(FarListboxTest, ARunningListGetsOneReplacementPerBracketAndKeepsItsRow)
{
    Fill(6);
    List->SetItemIndex(4);
    Script(TDialogScript()
               .Check([&](THostDialog& Live) {
                   EXPECT_EQ(Live.Items[0].List.CurPos, 4);
                   const size_t Sets = Host->CallCount("DM_LISTSET");
                   Items().BeginUpdate();
                   for (intptr_t I = 0; I < Items().Count(); ++I)
                       Items().GetItem(I)->SetVisible(I % 2 == 0);
                   Items().EndUpdate();
                   EXPECT_EQ(Host->CallCount("DM_LISTSET"), Sets + 1);
                   EXPECT_THAT(VisibleEntries(Live.Items[0]), ElementsAre(L"entry 0", L"entry 2", L"entry 4"));
                   EXPECT_EQ(List->GetItemIndex(), 4);
                   // An unmatched EndUpdate pushes nothing.
                   List->EndUpdate();
                   EXPECT_EQ(List->GetUpdateCount(), 0);
                   EXPECT_EQ(Host->CallCount("DM_LISTSET"), Sets + 1);
                   // One entry changed outside a bracket becomes the current one.
                   Items().GetItem(2)->SetText(L"two");
                   EXPECT_EQ(Live.Items[0].List.Entries[1].Text, L"two");
                   EXPECT_EQ(List->GetItemIndex(), 2);
               })
               .Esc());
    TFarDialog::TButton* Button;
    Dialog->Run(Button);
}

// The host holds only the shown entries; every position it has or is given
// is translated, so callers see entry indices alone: before the run, while
// it runs (the host's own keys and notices included), and for the changes
// of one entry that move the positions after it.
TEST_F(FarListboxTest, TheHostHoldsOnlyTheShownEntriesAndPositionsAreTranslated)
{
    Fill(1000);
    for (intptr_t I = 0; I < 996; ++I)
        Items().GetItem(I)->SetVisible(false);
    Items().GetItem(998)->SetFlag(far3::LIF_DISABLE, true);
    List->SetItemIndex(997);
    std::vector<intptr_t> Selected;
    List->OnSelect = [&](TFarDialog::TListbox&, intptr_t Index, bool&) { Selected.push_back(Index); };
    const auto Shown = [](THostDialog& Live) {
        std::vector<std::wstring> Texts;
        for (const THostListEntry& Entry : Live.Items[0].List.Entries)
            Texts.push_back(Entry.Text);
        return Texts;
    };
    Script(TDialogScript()
               .Check([&](THostDialog& Live) {
                   EXPECT_THAT(Shown(Live), ElementsAre(L"entry 996", L"entry 997", L"entry 998", L"entry 999"));
                   EXPECT_EQ(Live.Items[0].List.CurPos, 1);
                   EXPECT_EQ(List->GetItemIndex(), 997);
                   EXPECT_EQ(List->EntryAt(3), 999);
                   EXPECT_EQ(List->PositionOf(5), -1);
                   List->MoveSelection(1, true); // over the disabled entry
                   EXPECT_EQ(List->GetItemIndex(), 999);
                   EXPECT_EQ(Live.Items[0].List.CurPos, 3);
                   List->MoveSelection(-5, false);
                   EXPECT_EQ(List->GetItemIndex(), 996);
                   Selected.clear();
               })
               .Key(VK_END) // the host's own key, over the entries it has
               .Check([&](THostDialog& Live) {
                   EXPECT_EQ(Live.Items[0].List.CurPos, 3);
                   EXPECT_THAT(Selected, ElementsAre(999));
                   // A hidden entry shown again, alone: the host gets the
                   // list anew and the entry becomes current.
                   Items().GetItem(500)->SetVisible(true);
                   EXPECT_THAT(Shown(Live),
                               ElementsAre(L"entry 500", L"entry 996", L"entry 997", L"entry 998", L"entry 999"));
                   EXPECT_EQ(List->GetItemIndex(), 500);
                   Items().GetItem(997)->SetText(L"changed");
                   EXPECT_EQ(Live.Items[0].List.Entries[2].Text, L"changed");
                   EXPECT_EQ(List->GetItemIndex(), 997);
               })
               .Esc());
    TFarDialog::TButton* Button;
    Dialog->Run(Button);
}
