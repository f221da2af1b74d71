#include "dialogs/uFarControls.h"

#include "base/Handle.h"

#include <algorithm>
#include <vector>

namespace {

using far3::FARDIALOGITEMFLAGS;

std::unique_ptr<wchar_t[]> CopyOrNull(const std::wstring& Value)
{
    return Value.empty() ? nullptr : TFarModule::NewString(Value);
}

constexpr FARDIALOGITEMFLAGS AlignmentFlags = far3::DIF_CENTERTEXT | far3::DIF_LEFTTEXT | far3::DIF_RIGHTTEXT;

} // namespace

// --- TControl -----------------------------------------------------------------------------

TFarDialog::TControl::TControl(TFarDialog& Dialog, far3::FARDIALOGITEMTYPES Type)
    : FDialog(&Dialog), FIndex(Dialog.AddControl(this))
{
    far3::FarDialogItem& Item = DialogItem();
    Item = far3::FarDialogItem{};
    Item.Type = Type;
}

TFarDialog::TControl::~TControl()
{
    // A control its dialog frees has left the list already. One still in it
    // failed in its own construction, and the failed new gives its memory
    // back: the dialog only lets go of it.
    if (FIndex >= 0)
        static_cast<void>(FDialog->TakeControl(FIndex).release());
}

void TFarDialog::TControl::Free()
{
    FDialog->RemoveControl(this);
}

far3::FarDialogItem& TFarDialog::TControl::DialogItem() const
{
    return FDialog->ItemRecord(FIndex);
}

int TFarDialog::TControl::GetPreferredWidth()
{
    return GetWidth();
}

int TFarDialog::TControl::GetMaxHeight()
{
    return 1;
}

void TFarDialog::TControl::BeforeRun() {}

void TFarDialog::TControl::InitControl() {}

TFarDialog::TControl::TBounds TFarDialog::TControl::Bounds() const
{
    const far3::FarDialogItem& Item = DialogItem();
    SMALL_RECT Rect{static_cast<SHORT>(Item.X1), static_cast<SHORT>(Item.Y1), static_cast<SHORT>(Item.X2),
                    static_cast<SHORT>(Item.Y2)};
    if (FDialog->IsActive()) {
        SMALL_RECT Live{};
        if (FDialog->SendMessage(far3::DM_GETITEMPOSITION, FIndex, &Live) != 0)
            Rect = Live;
    }
    return {Rect.Left, Rect.Top, Rect.Right - Rect.Left + 1, Rect.Bottom - Rect.Top + 1};
}

void TFarDialog::TControl::GetBounds(int& Left, int& Top, int& Width, int& Height) const
{
    const TBounds B = Bounds();
    Left = B.Left;
    Top = B.Top;
    Width = B.Width;
    Height = B.Height;
}

void TFarDialog::TControl::SetBounds(int Left, int Top, int Width, int Height)
{
    SetBoundsLimited(Left, Top, Width, Height, GetMaxHeight());
}

void TFarDialog::TControl::SetBoundsLimited(int Left, int Top, int Width, int Height, int MaxHeight)
{
    if (MaxHeight > 0 && MaxHeight < Height)
        Height = MaxHeight;
    far3::FarDialogItem& Item = DialogItem();
    Item.X1 = Left;
    Item.Y1 = Top;
    Item.X2 = Width > 0 ? Left + Width - 1 : 0;
    Item.Y2 = Height > 0 ? Top + Height - 1 : 0;
    if (!FDialog->IsActive())
        return;
    SMALL_RECT Rect{static_cast<SHORT>(Item.X1), static_cast<SHORT>(Item.Y1), static_cast<SHORT>(Item.X2),
                    static_cast<SHORT>(Item.Y2)};
    FDialog->SendMessage(far3::DM_SETITEMPOSITION, FIndex, &Rect);
}

void TFarDialog::TControl::SetLeft(int Value)
{
    const TBounds B = Bounds();
    SetBounds(Value, B.Top, B.Width, B.Height);
}

void TFarDialog::TControl::SetTop(int Value)
{
    const TBounds B = Bounds();
    SetBounds(B.Left, Value, B.Width, B.Height);
}

void TFarDialog::TControl::SetWidth(int Value)
{
    const TBounds B = Bounds();
    SetBounds(B.Left, B.Top, Value, B.Height);
}

void TFarDialog::TControl::SetHeight(int Value)
{
    const TBounds B = Bounds();
    SetBounds(B.Left, B.Top, B.Width, Value);
}

void TFarDialog::TControl::SetIndex(int NewIndex)
{
    FDialog->MoveControl(FIndex, NewIndex);
}

void TFarDialog::TControl::PlaceAfter(const TControl& Other)
{
    SetIndex(Other.FIndex + 1);
}

std::wstring TFarDialog::TControl::GetText() const
{
    if (!FDialog->IsActive())
        return TFarModule::FromPointer(DialogItem().Data);
    const intptr_t Length = FDialog->SendMessage(far3::DM_GETTEXT, FIndex, nullptr);
    if (Length <= 0)
        return std::wstring();
    std::vector<wchar_t> Buffer(static_cast<size_t>(Length) + 1, L'\0');
    far3::FarDialogItemData Data{sizeof(far3::FarDialogItemData), static_cast<size_t>(Length), Buffer.data()};
    const intptr_t Copied = FDialog->SendMessage(far3::DM_GETTEXT, FIndex, &Data);
    return std::wstring(Buffer.data(), static_cast<size_t>(std::clamp<intptr_t>(Copied, 0, Length)));
}

void TFarDialog::TControl::SetText(const std::wstring& Value)
{
    FText = CopyOrNull(Value);
    DialogItem().Data = FText.get();
    if (!FDialog->IsActive())
        return;
    // The host copies the text; an empty text still needs a buffer to point at.
    wchar_t Empty[1] = {L'\0'};
    // A list box's text is its title, which the host retitles only by its
    // own message: DM_SETTEXT leaves a list box as it was.
    if (DialogItem().Type == far3::DI_LISTBOX) {
        far3::FarListTitles Titles{sizeof(far3::FarListTitles), 0, FText ? FText.get() : Empty, 0, nullptr};
        FDialog->SendMessage(far3::DM_LISTSETTITLES, FIndex, &Titles);
        return;
    }
    far3::FarDialogItemData Data{sizeof(far3::FarDialogItemData), Value.size(), FText ? FText.get() : Empty};
    FDialog->SendMessage(far3::DM_SETTEXT, FIndex, &Data);
}

bool TFarDialog::TControl::GetChecked() const
{
    if (FDialog->IsActive())
        return FDialog->SendMessage(far3::DM_GETCHECK, FIndex, nullptr) != 0;
    return DialogItem().Selected != 0;
}

void TFarDialog::TControl::SetChecked(bool Value)
{
    DialogItem().Selected = Value ? 1 : 0;
    if (FDialog->IsActive())
        FDialog->SendMessage(far3::DM_SETCHECK, FIndex, reinterpret_cast<void*>(static_cast<intptr_t>(Value ? 1 : 0)));
}

bool TFarDialog::TControl::GetVisible() const
{
    if (FDialog->IsActive())
        return FDialog->SendMessage(far3::DM_SHOWITEM, FIndex, reinterpret_cast<void*>(intptr_t{-1})) != 0;
    return (GetFlags() & far3::DIF_HIDDEN) == 0;
}

void TFarDialog::TControl::SetVisible(bool Value)
{
    SetFlag(far3::DIF_HIDDEN, !Value);
    if (FDialog->IsActive())
        FDialog->SendMessage(far3::DM_SHOWITEM, FIndex, reinterpret_cast<void*>(static_cast<intptr_t>(Value ? 1 : 0)));
}

void TFarDialog::TControl::SetEnabled(bool Value)
{
    SetFlag(far3::DIF_DISABLE, !Value);
    if (FDialog->IsActive())
        FDialog->SendMessage(far3::DM_ENABLE, FIndex, reinterpret_cast<void*>(static_cast<intptr_t>(Value ? 1 : 0)));
}

far3::FARDIALOGITEMTYPES TFarDialog::TControl::GetItemType() const
{
    return DialogItem().Type;
}

far3::FARDIALOGITEMFLAGS TFarDialog::TControl::GetFlags() const
{
    FARDIALOGITEMFLAGS Flags = DialogItem().Flags;
    ReadLiveItem([&](far3::FarDialogItem& Item) { Flags = Item.Flags; });
    return Flags;
}

void TFarDialog::TControl::SetFlags(far3::FARDIALOGITEMFLAGS Value)
{
    DialogItem().Flags = Value;
    UpdateLiveItem([&](far3::FarDialogItem& Item) { Item.Flags = Value; });
}

void TFarDialog::TControl::SetFlag(far3::FARDIALOGITEMFLAGS Flag, bool On)
{
    const FARDIALOGITEMFLAGS Flags = GetFlags();
    SetFlags(On ? Flags | Flag : Flags & ~Flag);
}

void TFarDialog::TControl::SetDefault(bool Value)
{
    const auto Apply = [Value](FARDIALOGITEMFLAGS& Flags) {
        Flags = Value ? Flags | far3::DIF_DEFAULTBUTTON : Flags & ~far3::DIF_DEFAULTBUTTON;
    };
    Apply(DialogItem().Flags);
    UpdateLiveItem([&](far3::FarDialogItem& Item) { Apply(Item.Flags); });
}

void TFarDialog::TControl::SetHistory(const std::wstring& Value)
{
    FHistory = TFarModule::NewString(Value);
    const wchar_t* History = FHistory.get();
    const auto Apply = [&](far3::FarDialogItem& Item) {
        Item.Flags = Value.empty() ? Item.Flags & ~far3::DIF_HISTORY : Item.Flags | far3::DIF_HISTORY;
        Item.History = History;
    };
    Apply(DialogItem());
    UpdateLiveItem(Apply);
}

bool TFarDialog::TControl::AccessLiveItem(bool Modify, const TItemAction& Action) const
{
    if (!FDialog->IsActive())
        return false;
    const intptr_t Size = FDialog->SendMessage(far3::DM_GETDLGITEM, FIndex, nullptr);
    if (Size <= 0)
        return false;
    // The host writes a FarDialogItem followed by its strings: keep the
    // buffer aligned for the record.
    std::vector<far3::FarDialogItem> Buffer((static_cast<size_t>(Size) + sizeof(far3::FarDialogItem) - 1) /
                                            sizeof(far3::FarDialogItem));
    far3::FarGetDialogItem Request{sizeof(far3::FarGetDialogItem), static_cast<size_t>(Size), Buffer.data()};
    if (FDialog->SendMessage(far3::DM_GETDLGITEM, FIndex, &Request) == 0)
        return false;
    far3::FarDialogItem& Live = Buffer.front();
    if (Live.Type != GetItemType())
        throw EFarDialogError(L"Control type mismatch");
    Action(Live);
    if (!Modify)
        return true;
    if (Live.Type != GetItemType())
        throw EFarDialogError(L"Can't modify control type");
    return FDialog->SendMessage(far3::DM_SETDLGITEM, FIndex, &Live) != 0;
}

// --- label-like controls ---------------------------------------------------------------------

TFarDialog::TLabelLikeControl::TLabelLikeControl(TFarDialog& Dialog, far3::FARDIALOGITEMTYPES Type, int Left, int Top,
                                                 int Width, int Height, const std::wstring& Text, int MaxHeight)
    : TControl(Dialog, Type)
{
    SetBoundsLimited(Left, Top, Width, Height, MaxHeight);
    SetText(Text);
    SetAlignment(laCenter);
    SetShowAmpersand(false);
}

int TFarDialog::TLabelLikeControl::GetPreferredWidth()
{
    const std::wstring Text = GetText();
    int Width = static_cast<int>(Text.size());
    // The hotkey marker takes no column.
    if (!GetShowAmpersand() && Text.find(L'&') != std::wstring::npos)
        --Width;
    return Width;
}

void TFarDialog::TLabelLikeControl::SetAlignment(int Value)
{
    FARDIALOGITEMFLAGS Flag;
    switch (Value) {
    case laCenter: Flag = far3::DIF_CENTERTEXT; break;
    case laLeft: Flag = far3::DIF_LEFTTEXT; break;
    case laRight: Flag = far3::DIF_RIGHTTEXT; break;
    default: return;
    }
    SetFlags((GetFlags() & ~AlignmentFlags) | Flag);
}

bool TFarDialog::TLabelLikeControl::GetShowAmpersand() const
{
    return (GetFlags() & far3::DIF_SHOWAMPERSAND) != 0;
}

void TFarDialog::TLabelLikeControl::SetShowAmpersand(bool Value)
{
    SetFlag(far3::DIF_SHOWAMPERSAND, Value);
}

TFarDialog::TDoubleBox::TDoubleBox(TFarDialog& Dialog, int Left, int Top, int Width, int Height,
                                   const std::wstring& Title)
    : TLabelLikeControl(Dialog, far3::DI_DOUBLEBOX, Left, Top, Width, Height, Title, MaxHeight)
{
}

int TFarDialog::TDoubleBox::GetMaxHeight()
{
    return MaxHeight;
}

TFarDialog::TLabel::TLabel(TFarDialog& Dialog, int Left, int Top, int Width, const std::wstring& Text, int Alignment)
    : TLabelLikeControl(Dialog, far3::DI_TEXT, Left, Top, Width, 1, Text, 1)
{
    SetAlignment(Alignment);
}

TFarDialog::TSeparator::TSeparator(TFarDialog& Dialog, int Top) : TLabel(Dialog, 0, Top, 0, std::wstring(), laLeft)
{
    SetFlag(far3::DIF_SEPARATOR, true);
}

// --- button-like controls ----------------------------------------------------------------------

TFarDialog::TButtonLikeControl::TButtonLikeControl(TFarDialog& Dialog, far3::FARDIALOGITEMTYPES Type, int Left, int Top,
                                                   const std::wstring& Text)
    : TControl(Dialog, Type)
{
    // Width 0: the host sizes buttons and check boxes by their text.
    SetBoundsLimited(Left, Top, 0, 1, 1);
    SetText(Text);
    SetCenterGroup(false);
    SetShowAmpersand(false);
}

int TFarDialog::TButtonLikeControl::GetPreferredWidth()
{
    // The host draws brackets and blanks around the text.
    return static_cast<int>(GetText().size()) + 4;
}

void TFarDialog::TButtonLikeControl::SetCenterGroup(bool Value)
{
    SetFlag(far3::DIF_CENTERGROUP, Value);
}

bool TFarDialog::TButtonLikeControl::GetShowAmpersand() const
{
    return (GetFlags() & far3::DIF_SHOWAMPERSAND) != 0;
}

void TFarDialog::TButtonLikeControl::SetShowAmpersand(bool Value)
{
    SetFlag(far3::DIF_SHOWAMPERSAND, Value);
}

TFarDialog::TButton::TButton(TFarDialog& Dialog, int Left, int Top, const std::wstring& Text)
    : TButtonLikeControl(Dialog, far3::DI_BUTTON, Left, Top, Text)
{
    SetNoClose(false);
    SetCenterGroup(true);
}

void TFarDialog::TButton::SetNoClose(bool Value)
{
    SetFlag(far3::DIF_BTNNOCLOSE, Value);
}

TFarDialog::TCheckbox::TCheckbox(TFarDialog& Dialog, int Left, int Top, const std::wstring& Text, bool Checked)
    : TButtonLikeControl(Dialog, far3::DI_CHECKBOX, Left, Top, Text)
{
    SetChecked(Checked);
}

TFarDialog::TRadioButton::TRadioButton(TFarDialog& Dialog, int Left, int Top, const std::wstring& Text,
                                       bool StartsGroup)
    : TButtonLikeControl(Dialog, far3::DI_RADIOBUTTON, Left, Top, Text)
{
    SetFlag(far3::DIF_GROUP, StartsGroup);
}
