// Every tag of the project, filtered as the user types, and the jump to the
// one chosen.
#pragma once

#include "plugin/uNavigation.h"

// True when the cursor moved to a tag.
bool ShowProjectTags(TPlaceStack& Places);
