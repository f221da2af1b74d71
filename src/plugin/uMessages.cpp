#include "uMessages.h"

#include "uFarModule.h"

std::wstring GetMsg(TMessageId MsgId)
{
    if (MsgId == MNone)
        return std::wstring();
    return TFarModule::GetMsg(MsgId);
}
