// Go to definition: the definitions of the name under the cursor (or the
// selection within one line) in the project's tags file and in the edited
// file's own text, and the jump to the one the user means.
#pragma once

#include "plugin/uNavigation.h"

// True when the cursor moved to a definition.
bool GoToDefinition(TPlaceStack& Places);
