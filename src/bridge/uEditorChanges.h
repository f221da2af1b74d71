// Whether an editor's text has changed since a moment, without reading it:
// the host tells a subscribed plugin of every change (EE_CHANGE), so each
// watched editor carries a stamp that every change replaces. A stamp is
// never given twice, to any editor; the same stamp seen again means the
// same editor with no change in between.
//
// The host says nothing when another code page turns the same bytes into
// other characters (F8): whoever keeps a stamp keeps the code page with it.
// A reload from disk is a new editor, with a stamp of its own.
#pragma once

#include <cstdint>

class TEditorChanges {
public:
    TEditorChanges() = delete;

    // The editor's stamp, subscribing to its changes the first time; 0 when
    // the host refuses the subscription (nothing is known then).
    static std::uint64_t Watch(intptr_t EditorId);
    // The host's events, on its thread; they cost a look through the
    // watched editors and nothing more.
    static void Changed(intptr_t EditorId) noexcept;
    static void Forget(intptr_t EditorId) noexcept;

    static void FinalizeUnit() noexcept;
};
