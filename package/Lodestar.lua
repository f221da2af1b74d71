-- Lodestar's keys in Far's editor. Copy this file into
-- %FARPROFILE%\Macros\scripts, then restart Far or type lm:load in the
-- panels' command line. Change a key= below if it is taken.

local Lodestar = "1FCF0E70-8ADC-4F9B-8CAD-C5170CB27FEF"
local function Present() return Plugin.Exist(Lodestar) end

-- Ctrl+F12: the function list of the edited file.
Macro {
  area="Editor"; key="CtrlF12"; description="Lodestar: function list";
  condition=Present;
  action=function() Plugin.Call(Lodestar, "execute") end;
}

-- Shift+F12: the definition of the name under the cursor, in any file of
-- the project (a list when there are several).
Macro {
  area="Editor"; key="ShiftF12"; description="Lodestar: go to definition";
  condition=Present;
  action=function() Plugin.Call(Lodestar, "definition") end;
}

-- Ctrl+Shift+F12: back to where the last jump came from, in whatever file;
-- after several jumps each press goes back one more.
Macro {
  area="Editor"; key="CtrlShiftF12"; description="Lodestar: back";
  condition=Present;
  action=function() Plugin.Call(Lodestar, "back") end;
}

-- Alt+Shift+F12: every tag of the project, filtered as you type.
Macro {
  area="Editor"; key="AltShiftF12"; description="Lodestar: project tags";
  condition=Present;
  action=function() Plugin.Call(Lodestar, "project") end;
}
