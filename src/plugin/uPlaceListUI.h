// A list of places in the project's files, such as the definitions of one
// name: one row per place with its file (relative to the project's folder,
// cut from the left when long), line, kind and scope, filtered as the user
// types, with the text around the place, from its file as it is now, under
// the list.
#pragma once

#include "plugin/uContextListUI.h"
#include "plugin/uNavigation.h"

#include <string>
#include <vector>

// {2F6B9D14-5C83-4E07-A1D9-6B3E0F8C2A75}
inline constexpr GUID PlaceListDialogGuid = {
    0x2f6b9d14, 0x5c83, 0x4e07, {0xa1, 0xd9, 0x6b, 0x3e, 0x0f, 0x8c, 0x2a, 0x75}};

struct TPlaceRow {
    TJumpTarget Target;
    std::wstring Kind;
    std::wstring Scope;
};

class TPlaceListDialog : public TContextListDialog {
protected:
    explicit TPlaceListDialog(const GUID& Id) : TContextListDialog(Id) {}

public:
    // The rows in the order shown; Folder is what their files are shown
    // relative to (none: their full names).
    void SetRows(std::vector<TPlaceRow> Rows, std::wstring Folder);
    const std::vector<TPlaceRow>& GetRows() const noexcept { return FRows; }
    // Where the text of the files comes from; it must outlive the dialog.
    void SetFiles(TFileLines* Files) noexcept { FFiles = Files; }
    void SetTitle(const std::wstring& Title);
    // Rows of many names (the project's tags): the name and its scope
    // first, then the kind, the file and the line.
    void SetShowNames(bool Value) noexcept { FShowNames = Value; }

    void BuildRows() override;
    void ItemSelected(intptr_t Index) override;

protected:
    friend class TFarDialog;
    TPlaceListDialog() : TContextListDialog(PlaceListDialogGuid) {}
    void AfterConstruction() override;

private:
    std::wstring Shown(const std::wstring& FileName) const;

    std::vector<TPlaceRow> FRows;
    std::wstring FFolder;
    TFileLines* FFiles = nullptr;
    bool FShowNames = false;
};
