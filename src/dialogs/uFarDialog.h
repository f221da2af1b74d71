// The framework's dialog object: a list of control objects, each owning one
// record of the host's item array, turned into a host dialog, run modally,
// and kept alive after the run so the controls can read their final values.
// It also holds the simple layout rules every dialog of the plugin uses: a
// default size from the screen, centring, a client area and columns.
#pragma once

#include "base/Exception.h"
#include "base/Handle.h"
#include "bridge/FarApi.h"
#include "bridge/uFarModule.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// windows.h maps SendMessage to SendMessageW; ours is the host's.
#undef SendMessage

// A sibling of EFarError, not a subclass.
LODESTAR_DECLARE_EXCEPTION(EFarDialogError, Exception);

class TFarDialog;

// Dialogs are made by TFarDialog::Create and freed through this deleter, so
// that the virtual clean-up runs before any destructor does.
struct TFarDialogDeleter {
    void operator()(TFarDialog* Dialog) const noexcept;
};
template <class T>
using TDialogPtr = std::unique_ptr<T, TFarDialogDeleter>;

class TFarDialog : public TFarCommonModule {
public:
    class TControl;
    class TLabelLikeControl;
    class TDoubleBox;
    class TLabel;
    class TSeparator;
    class TButtonLikeControl;
    class TButton;
    class TCheckbox;
    class TRadioButton;
    class TCustomEdit;
    class TEdit;
    class TListbox;

    using TColumnWidths = std::vector<std::int32_t>;
    using TControlList = std::vector<TControl*>;

    // Label alignment: centre, left, right.
    enum TLabelAlignment : int { laCenter = 0, laLeft = 1, laRight = 2 };

    // The one way to make a dialog: constructs T, then runs the steps that
    // need the finished object (building controls, the default size).
    template <class T, class... A>
    static TDialogPtr<T> Create(A&&... Args)
    {
        TDialogPtr<T> Result(new T(std::forward<A>(Args)...));
        static_cast<TFarDialog*>(Result.get())->AfterConstruction();
        return Result;
    }

    TFarDialog(const TFarDialog&) = delete;
    TFarDialog& operator=(const TFarDialog&) = delete;

    // --- controls ------------------------------------------------------------
    // Takes Control into the dialog's keeping; each control calls it as it
    // is made. Returns its index.
    int AddControl(TControl* Control);
    // Frees Control, and the controls after it move up; refused while the
    // dialog is active (see TControl::Free).
    void RemoveControl(TControl* Control);
    void MoveControl(int From, int To);
    TControl* GetControl(int Index) const;
    int ControlCount() const noexcept { return FControlCount; }
    // The record of control Index, for the controls themselves.
    far3::FarDialogItem& ItemRecord(int Index);

    TButton* AddButton(int Left, int Top, const std::wstring& Text);
    TCheckbox* AddCheckbox(int Left, int Top, const std::wstring& Text, bool Checked);
    TDoubleBox* AddDoubleBox(int Left, int Top, int Width, int Height, const std::wstring& Title);
    TEdit* AddEdit(int Left, int Top, int Width, const std::wstring& Text);
    TLabel* AddLabel(int Left, int Top, int Width, const std::wstring& Text, TLabelAlignment Alignment);
    TListbox* AddListbox(int Left, int Top, int Width, int Height, const std::wstring& Title);
    TSeparator* AddSeparator(int Top);

    // --- the host dialog -------------------------------------------------------
    bool IsActive() const noexcept { return FHandle != INVALID_HANDLE_VALUE; }
    // Inside Run: the host's modal loop is going. After it the host dialog
    // still exists (IsActive) for reading values, but runs nothing.
    bool IsRunning() const noexcept { return FRunning; }
    HANDLE GetHandle() const noexcept { return FHandle; }
    const GUID& GetId() const noexcept { return FId; }
    bool Build();
    // True when a push button ended the run; it is returned in Button.
    bool Run(TButton*& Button);
    void ReleaseHandle() noexcept;
    intptr_t SendMessage(intptr_t Msg, intptr_t Param1, void* Param2);
    void Redraw();
    void LockRedraw();
    void UnlockRedraw();

    // --- layout ----------------------------------------------------------------
    void GetBounds(int& Left, int& Top, int& Width, int& Height);
    void SetPosition(int Left, int Top);
    int GetLeft() const noexcept { return FLeft; }
    int GetTop() const noexcept { return FTop; }
    int GetWidth() const noexcept { return FWidth; }
    int GetHeight() const noexcept { return FHeight; }
    const std::wstring& GetHelpTopic() const noexcept { return FHelpTopic; }
    void SetHelpTopic(std::wstring Value) { FHelpTopic = std::move(Value); }
    far3::FARDIALOGFLAGS GetDialogFlags() const noexcept { return FDialogFlags; }
    void SetDialogFlags(far3::FARDIALOGFLAGS Value) noexcept { FDialogFlags = Value; }
    int GetRedrawLock() const noexcept { return FRedrawLock; }

    virtual bool DialogProc(intptr_t Msg, intptr_t Param1, void* Param2, intptr_t& Result);
    virtual bool DoInitDialog(intptr_t Param1, void* Param2, intptr_t& Result);
    virtual bool DoButtonClick(intptr_t Param1, void* Param2, intptr_t& Result);
    virtual bool DoEditChange(intptr_t Param1, void* Param2, intptr_t& Result);
    virtual bool DoGotFocus(intptr_t Param1, void* Param2, intptr_t& Result);
    virtual bool DoKillFocus(intptr_t Param1, void* Param2, intptr_t& Result);
    virtual bool DoListChange(intptr_t Param1, void* Param2, intptr_t& Result);
    virtual bool DoControlInput(intptr_t Param1, void* Param2, intptr_t& Result);
    virtual bool DoResizeConsole(intptr_t Param1, void* Param2, intptr_t& Result);
    // The host is about to close the dialog with exit code Param1; Result
    // FALSE keeps it open.
    virtual bool DoClose(intptr_t Param1, void* Param2, intptr_t& Result);
    virtual void ClearControls();
    virtual void GetClientRect(int& Left, int& Top, int& Width, int& Height);
    virtual void SetSize(int Width, int Height);
    virtual void AdjustSize(int& Width, int& Height);
    virtual void Columnize(const TColumnWidths& Widths, const TControlList& Controls, int Left, int Top);
    virtual void Columnize(const TColumnWidths& Widths, const TControlList& Controls, int Left);

    // The registry of active dialogs exists from library start to unload.
    static void InitializeUnit();
    static void FinalizeUnit() noexcept;
    static size_t ActiveDialogCount();

protected:
    explicit TFarDialog(const GUID& Id);
    virtual ~TFarDialog();

    // After the most-derived constructor: the default size. Subclasses that
    // build controls or need their virtual operations extend it.
    virtual void AfterConstruction();
    // Before the destructors: releases the host dialog and frees the controls.
    virtual void BeforeDestruction();

    // The valid control at a host item index, or null.
    TControl* ControlAt(intptr_t Index) const noexcept;
    // A failure inside a handler cannot cross the host's frames: it ends the
    // run and is raised again when the host has returned from it.
    void CaptureFailure(std::exception_ptr Failure) noexcept;

private:
    friend struct TFarDialogDeleter;
    friend intptr_t WINAPI FarDialogProc(HANDLE Handle, intptr_t Msg, intptr_t Param1, void* Param2);

    void Grow();

    // Controls are freed by their dialog only (their destructors are not
    // public).
    struct TControlDeleter {
        void operator()(TControl* Control) const noexcept;
    };
    using TControlPtr = std::unique_ptr<TControl, TControlDeleter>;
    // The index of Control in the list, or -1.
    int IndexOf(const TControl* Control) const noexcept;
    // Takes the control at Index out of the list, and the controls after it
    // move up; it is freed when the owner returned goes.
    TControlPtr TakeControl(int Index) noexcept;
    // Frees every control, the last first.
    void FreeControls() noexcept;

    GUID FId;
    HANDLE FHandle = INVALID_HANDLE_VALUE;
    std::unique_ptr<far3::FarDialogItem[]> FDialogItems;
    std::vector<TControlPtr> FControls; // its size is the capacity
    int FControlCount = 0;
    int FLeft = -1;
    int FTop = -1;
    int FWidth = 0;
    int FHeight = 0;
    std::wstring FHelpTopic;
    far3::FARDIALOGFLAGS FDialogFlags = 0;
    int FRedrawLock = 0;
    bool FRunning = false;
    std::exception_ptr FFailure;
};

// Holds the dialog's redraw lock for a scope (LockRedraw, and UnlockRedraw
// on every path out; see TPairedCall).
using TRedrawLock = TPairedCall<TFarDialog, &TFarDialog::LockRedraw, &TFarDialog::UnlockRedraw>;
