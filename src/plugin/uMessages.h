// The ids of the plugin's texts in its language files.
#pragma once

#include <cstdint>
#include <string>

using TMessageId = std::int8_t;

enum : TMessageId {
    MNone = -1, // the empty text, never asked of the host
    MTitle = 0,
    MOk = 1,
    MCancel = 2,
    MYes = 3,
    MNo = 4,
    MExceptionInFunction = 5,
    MWritingSnapshot = 6,
    MCannotReadEditor = 7,
    MRunningCtags = 8,
    MCtagsNotFound = 9,
    MCtagsFailed = 10,
    MCtagsExitCode = 11,
    MSearchLabel = 12,
    MCtagsPathLabel = 13,
    MSearchDelayCheck = 14,
    MMilliseconds = 15,
    MTempFolderFailed = 16,
    MSettingsUnreadable = 17,
    MSettingsNotSaved = 18,
    MCtagsCannotStart = 19,
    MListTitle = 20,
    MNoTags = 21,
    MDescription = 22,
    MByName = 23,
    MInFileOrder = 24,
    MAllKinds = 25,
};

std::wstring GetMsg(TMessageId MsgId);
