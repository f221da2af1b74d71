// The controls of a TFarDialog. Each owns one host item record and keeps it
// filled while the dialog is composed; once the host dialog exists, getters
// read the live value from the host and setters update both the record and
// the host. An edit can report its changes after a pause in typing.
#pragma once

#include "dialogs/uFarDialog.h"
#include "bridge/uFarSynchro.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class TFarDialog::TControl {
public:
    using TKillFocusEvent = std::function<void(TControl& Sender, TControl*& NextControl)>;
    using TGotFocusEvent = std::function<void(TControl& Sender)>;
    using TKeyDownEvent = std::function<void(TControl& Sender, WORD VirtualKey, DWORD ControlKeyState, bool& Handled)>;

    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    // Frees the control through its dialog; refused while the dialog is
    // active, since the host's items would no longer match the controls.
    void Free();

    TFarDialog& GetDialog() const noexcept { return *FDialog; }
    int GetIndex() const noexcept { return FIndex; }
    far3::FarDialogItem& DialogItem() const;

    virtual int GetPreferredWidth();
    virtual int GetMaxHeight();
    // Just before the host runs the dialog, which is when it reads what an
    // item points at (a list box's entries).
    virtual void BeforeRun();
    virtual void InitControl();

    void GetBounds(int& Left, int& Top, int& Width, int& Height) const;
    int GetLeft() const { return Bounds().Left; }
    int GetTop() const { return Bounds().Top; }
    int GetWidth() const { return Bounds().Width; }
    int GetHeight() const { return Bounds().Height; }
    void SetBounds(int Left, int Top, int Width, int Height);
    void SetLeft(int Value);
    void SetTop(int Value);
    void SetWidth(int Value);
    void SetHeight(int Value);
    void SetIndex(int NewIndex);
    void PlaceAfter(const TControl& Other);

    std::wstring GetText() const;
    void SetText(const std::wstring& Value);
    bool GetChecked() const;
    void SetChecked(bool Value);
    bool GetVisible() const;
    void SetVisible(bool Value);
    void SetEnabled(bool Value);
    far3::FARDIALOGITEMTYPES GetItemType() const;

    far3::FARDIALOGITEMFLAGS GetFlags() const;
    void SetFlags(far3::FARDIALOGITEMFLAGS Value);
    void SetDefault(bool Value);
    void SetHistory(const std::wstring& Value);

    TKillFocusEvent OnKillFocus;
    TGotFocusEvent OnGotFocus;
    TKeyDownEvent OnKeyDown;

protected:
    struct TBounds {
        int Left, Top, Width, Height;
    };

    TControl(TFarDialog& Dialog, far3::FARDIALOGITEMTYPES Type);
    // The stored bounds, or the live ones while the dialog exists.
    TBounds Bounds() const;
    virtual ~TControl();

    // What the live item access does to the host's copy of the item.
    using TItemAction = std::function<void(far3::FarDialogItem& Item)>;
    bool AccessLiveItem(bool Modify, const TItemAction& Action) const;
    bool ReadLiveItem(const TItemAction& Action) const { return AccessLiveItem(false, Action); }
    bool UpdateLiveItem(const TItemAction& Action) const { return AccessLiveItem(true, Action); }
    void SetFlag(far3::FARDIALOGITEMFLAGS Flag, bool On);
    // SetBounds with the height limit given: constructors cannot ask the
    // virtual GetMaxHeight of the class being built.
    void SetBoundsLimited(int Left, int Top, int Width, int Height, int MaxHeight);

private:
    friend class TFarDialog;

    TFarDialog* FDialog;
    // -1 once the control has left its dialog's list, as it is freed.
    int FIndex;
    std::unique_ptr<wchar_t[]> FText;
    std::unique_ptr<wchar_t[]> FHistory;
};

class TFarDialog::TLabelLikeControl : public TControl {
public:
    int GetPreferredWidth() override;
    void SetAlignment(int Value);
    bool GetShowAmpersand() const;
    void SetShowAmpersand(bool Value);

protected:
    TLabelLikeControl(TFarDialog& Dialog, far3::FARDIALOGITEMTYPES Type, int Left, int Top, int Width, int Height,
                      const std::wstring& Text, int MaxHeight);
};

class TFarDialog::TDoubleBox : public TLabelLikeControl {
public:
    static constexpr int MaxHeight = 2147483647;
    TDoubleBox(TFarDialog& Dialog, int Left, int Top, int Width, int Height, const std::wstring& Title);
    int GetMaxHeight() override;
};

class TFarDialog::TLabel : public TLabelLikeControl {
public:
    TLabel(TFarDialog& Dialog, int Left, int Top, int Width, const std::wstring& Text, int Alignment);
};

class TFarDialog::TSeparator : public TLabel {
public:
    TSeparator(TFarDialog& Dialog, int Top);
};

class TFarDialog::TButtonLikeControl : public TControl {
public:
    int GetPreferredWidth() override;
    void SetCenterGroup(bool Value);
    bool GetShowAmpersand() const;
    void SetShowAmpersand(bool Value);

protected:
    TButtonLikeControl(TFarDialog& Dialog, far3::FARDIALOGITEMTYPES Type, int Left, int Top, const std::wstring& Text);
};

class TFarDialog::TButton : public TButtonLikeControl {
public:
    using TClickEvent = std::function<void(TButton& Sender, bool& Handled)>;

    TButton(TFarDialog& Dialog, int Left, int Top, const std::wstring& Text);
    void SetNoClose(bool Value);

    TClickEvent OnClick;
};

enum TCheckState : int { csUnchecked = 0, csChecked = 1, csUndefined = 2 };

class TFarDialog::TCheckbox : public TButtonLikeControl {
public:
    using TClickEvent = std::function<void(TCheckbox& Sender, TCheckState State, bool& Allow)>;

    TCheckbox(TFarDialog& Dialog, int Left, int Top, const std::wstring& Text, bool Checked);

    TClickEvent OnClick;
};

// No dialog of the plugin uses radio buttons; a group starts at a button
// created with StartsGroup, as the host groups them (DIF_GROUP).
class TFarDialog::TRadioButton : public TButtonLikeControl {
public:
    using TCheckEvent = std::function<void(TRadioButton& Sender, bool& Allow)>;

    TRadioButton(TFarDialog& Dialog, int Left, int Top, const std::wstring& Text, bool StartsGroup);

    TCheckEvent OnCheck;
    TCheckEvent OnUncheck;
};

class TFarDialog::TCustomEdit : public TControl, private TSynchroTarget {
public:
    using TChangeEvent = std::function<void(TCustomEdit& Sender, bool& Result)>;
    class TDelayedChangeThread;

    void InitControl() override;
    // Called for every change the host reports. With a change delay the
    // handler runs later, once typing has paused, on the host's thread.
    virtual bool DoChange();

    bool GetUnchanged() const noexcept { return FUnchanged; }
    void SetUnchanged(bool Value);
    void SetEditor(bool Value);
    void SetReadOnly(bool Value);
    // A template of what may be typed where ('9' a digit, as the host's own
    // number fields use it); the edit is then one of fixed width. Empty for
    // free text. Set before the dialog is built.
    void SetMask(const std::wstring& Value);
    std::uint32_t GetChangeDelay() const noexcept { return FChangeDelay.load(); }
    void SetChangeDelay(std::uint32_t Value) noexcept { FChangeDelay.store(Value); }
    bool HasChangeThread() const noexcept { return FChangeThread != nullptr; }
    // Whether a change waits for its pause to be reported.
    bool HasPendingChange() const noexcept;
    // Reports a waiting change now, on the host's thread, instead of at the
    // end of the pause (for a key that acts on what the change would show).
    // Does nothing once the dialog's run has ended. What the handler raises
    // passes on; at the end of a pause it ends the dialog's run.
    void ApplyPendingChange();

    TChangeEvent OnChange;

protected:
    TCustomEdit(TFarDialog& Dialog, int Left, int Top, int Width, const std::wstring& Text);
    ~TCustomEdit() override;

    TDelayedChangeThread* GetChangeThread();
    void StopChangeThread() noexcept;

private:
    friend class TDelayedChangeThread;
    void SynchroEvent() override;

    bool FUnchanged = true;
    // Read by the worker; everything else of the edit is the host's thread's.
    std::atomic<std::uint32_t> FChangeDelay{0};
    // Made at the first delayed change.
    std::unique_ptr<TDelayedChangeThread> FChangeThread;
    std::uintptr_t FSynchroToken = 0;
    std::unique_ptr<wchar_t[]> FMask;
    // Changes made, and changes reported to OnChange (host's thread only).
    std::uint64_t FChangeSerial = 0;
    std::uint64_t FReportedSerial = 0;
};

class TFarDialog::TEdit : public TCustomEdit {
public:
    TEdit(TFarDialog& Dialog, int Left, int Top, int Width, const std::wstring& Text);
};
