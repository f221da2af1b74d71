-- Lodestar's keys in Far's editor. Copy this file into
-- %FARPROFILE%\Macros\scripts, then restart Far or type lm:load in the
-- panels' command line. Change a key= below if it is taken.

-- Ctrl+F12: the function list of the edited file.
Macro {
  area="Editor"; key="CtrlF12"; description="Lodestar: function list";
  condition=function() return Plugin.Exist("1FCF0E70-8ADC-4F9B-8CAD-C5170CB27FEF") end;
  action=function() Plugin.Call("1FCF0E70-8ADC-4F9B-8CAD-C5170CB27FEF", "execute") end;
}

-- Ctrl+Shift+F12: back to where the last jump came from. Each jump leaves a
-- session bookmark at the place it left; BM.Pop returns to the last one and
-- removes it, so that after several jumps each press goes back one more.
Macro {
  area="Editor"; key="CtrlShiftF12"; description="Lodestar: back";
  action=function() BM.Pop() end;
}
