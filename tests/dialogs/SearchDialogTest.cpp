// The standard frame and button row, and the search dialog: its layout,
// filtering by ContainsText, keys in the search field and the result.
#include "DialogTestSupport.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class SearchDialogTest : public TDialogTest {
protected:
    TDialogPtr<TTestSearchDialog> Make(std::initializer_list<const wchar_t*> Rows)
    {
        auto Dialog = TFarDialog::Create<TTestSearchDialog>();
        for (const wchar_t* Row : Rows)
            Dialog->GetList()->GetItems().AddItem(Row);
        return Dialog;
    }

    static std::vector<intptr_t> Rect(const THostItem& Item) { return {Item.X1, Item.Y1, Item.X2, Item.Y2}; }
};

} // namespace

TEST(ContainsText, IsACaseInsensitiveSubstringTest)
{
    struct {
        const wchar_t* Text;
        const wchar_t* Sub;
        bool Contains;
    } const Cases[] = {
        {L"xAbc", L"ab", true},      {L"a b", L"ab", false},  {L"abc", L"", true},    {L"", L"a", false},
        {L"GetItem", L"ITEM", true}, {L"Жук", L"жу", true},   {L"élan", L"ÉL", true}, {L"a*c", L"*", true},
        {L"abc", L"a*c", false},     {L" ab", L"ab ", false},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(ContainsText(Case.Text, Case.Sub), Case.Contains) << Case.Text << " / " << Case.Sub;
}

TEST_F(SearchDialogTest, TheFrameHoldsLabelFieldAndListAboveTheSeparatorAndButtons)
{
    auto Dialog = Make({L"one"});
    EXPECT_EQ(Dialog->GetSearchLabel()->GetText(), L"Search text:");
    EXPECT_EQ(Dialog->GetList()->GetText(), L"Values");
    ASSERT_TRUE(Dialog->Build());
    const THostDialog& Live = this->Live(*Dialog);
    ASSERT_EQ(Live.Items.size(), 7u);
    EXPECT_EQ(Live.Items[0].Data, L"Lodestar");
    EXPECT_THAT(Rect(Live.Items[0]), ElementsAre(3, 1, 72, 19)); // frame
    EXPECT_THAT(Rect(Live.Items[1]), ElementsAre(5, 2, 70, 2));  // label
    EXPECT_THAT(Rect(Live.Items[2]), ElementsAre(5, 3, 70, 3));  // search field
    EXPECT_THAT(Rect(Live.Items[3]), ElementsAre(5, 4, 70, 16)); // list
    EXPECT_EQ(Live.Items[4].Y1, 17);                             // separator
    EXPECT_EQ(Live.Items[5].Y1, 18);                             // OK
    EXPECT_EQ(Live.Items[6].Y1, 18);                             // Cancel
    EXPECT_EQ(Live.Items[5].Data, L"&OK");
    EXPECT_TRUE(Live.Items[5].Flags & far3::DIF_DEFAULTBUTTON);
}

TEST_F(SearchDialogTest, TypingHidesTheRowsThatDoNotContainTheText)
{
    auto Dialog = Make({L"alpha", L"xAbc", L"a b", L"Beta"});
    const auto Visible = [&](THostDialog& Live) { return VisibleEntries(Live.Items[3]); };
    Script(TDialogScript()
               .Check([&](THostDialog& Live) { EXPECT_EQ(Visible(Live).size(), 4u); })
               .Type(L"ab")
               .Check([&](THostDialog& Live) { EXPECT_THAT(Visible(Live), ElementsAre(L"xAbc")); })
               .Key(VK_BACK)
               .Check([&](THostDialog& Live) { EXPECT_EQ(Visible(Live).size(), 4u); })
               .Type(L"zz")
               .Check([&](THostDialog& Live) {
                   EXPECT_THAT(Visible(Live), IsEmpty());
                   EXPECT_EQ(Live.Items[3].List.CurPos, -1);
               })
               // OK with nothing shown has nothing to choose: the dialog
               // stays, with the filter to mend.
               .Enter()
               .Check([&](THostDialog& Live) { EXPECT_EQ(Live.Items[2].Data, L"azz"); })
               .Esc());
    EXPECT_FALSE(Dialog->Execute());
}

TEST_F(SearchDialogTest, ArrowAndPageKeysInTheFieldMoveTheListSelection)
{
    Host->SetConsoleSize(80, 32); // a list 20 rows high
    auto Dialog = TFarDialog::Create<TTestSearchDialog>();
    for (int I = 0; I < 40; ++I)
        Dialog->GetList()->GetItems().AddItem(L"row " + std::to_wstring(I));
    const auto At = [](intptr_t Row) {
        return [Row](THostDialog& Live) {
            EXPECT_EQ(Live.Focus, 2);
            EXPECT_EQ(Live.Items[3].List.CurPos, Row);
        };
    };
    Script(TDialogScript()
               .Check([&](THostDialog& Live) { EXPECT_EQ(Live.Items[3].Y2 - Live.Items[3].Y1 + 1, 20); })
               .Key(VK_NEXT)
               .Check(At(17))
               .Key(VK_DOWN)
               .Check(At(18))
               .Key(VK_UP, SHIFT_PRESSED)
               .Check(At(18))
               .Key(VK_DOWN, LEFT_CTRL_PRESSED)
               .Check(At(18))
               .Key(VK_PRIOR)
               .Check(At(1))
               .Key(VK_UP)
               .Key(VK_UP)
               .Check(At(0))
               .Type(L"3")
               .Key(VK_NEXT)
               .Check(At(12)) // row 39, the last of the 13 the host holds
               .Enter());
    EXPECT_TRUE(Dialog->Execute());
    EXPECT_EQ(Dialog->GetItemIndex(), 39);
}

TEST_F(SearchDialogTest, CancelAndEscLeaveTheRowAsItWas)
{
    for (auto Input : {TDialogScript().Key(VK_DOWN).Esc(), TDialogScript().Key(VK_DOWN).Click(6)}) {
        auto Dialog = Make({L"a", L"b", L"c", L"d"});
        Dialog->SetItemIndex(2);
        Dialog->SetSearchText(L"");
        Script(std::move(Input));
        EXPECT_FALSE(Dialog->Execute());
        EXPECT_EQ(Dialog->GetItemIndex(), 2);
        EXPECT_THAT(Dialog->Selected, ::testing::Contains(3));
    }
}

TEST_F(SearchDialogTest, TheInitialFilterAndRowApplyAtTheStartAndAResizeLaysOutAgain)
{
    auto Dialog = Make({L"main", L"parse", L"print", L"exit"});
    Dialog->SetSearchText(L"p");
    Dialog->SetItemIndex(2);
    Script(TDialogScript()
               .Check([&](THostDialog& Live) {
                   EXPECT_THAT(VisibleEntries(Live.Items[3]), ElementsAre(L"parse", L"print"));
                   EXPECT_EQ(Live.Items[3].List.CurPos, 1); // print, of the two the host holds
                   EXPECT_EQ(Live.Items[2].Data, L"p");
               })
               .Resize(100, 40)
               .Check([&](THostDialog& Live) {
                   EXPECT_THAT(Rect(Live.Items[1]), ElementsAre(5, 2, 90, 2));
                   EXPECT_THAT(Rect(Live.Items[3]), ElementsAre(5, 4, 90, 31));
                   EXPECT_EQ(Live.Items[4].Y1, 32);
                   EXPECT_EQ(Live.Items[3].List.CurPos, 1);
               })
               .Enter());
    EXPECT_TRUE(Dialog->Execute());
    EXPECT_EQ(Dialog->GetItemIndex(), 2);
    EXPECT_EQ(Dialog->Selected.back(), 2);
}
