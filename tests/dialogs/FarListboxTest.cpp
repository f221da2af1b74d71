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
    EXPECT_EQ(List->DialogItem().ListItems, Items().GetHostList());
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
                   EXPECT_EQ(Live.Items[0].List.Entries[2].Text, L"two");
                   EXPECT_EQ(List->GetItemIndex(), 2);
               })
               .Esc());
    TFarDialog::TButton* Button;
    Dialog->Run(Button);
}
