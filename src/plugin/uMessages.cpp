#include "plugin/uMessages.h"

#include "bridge/uFarModule.h"

std::wstring GetMsg(TMessageId MsgId)
{
    if (MsgId == MNone)
        return std::wstring();
    return TFarModule::GetMsg(MsgId);
}
