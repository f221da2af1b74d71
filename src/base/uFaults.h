// Failures of the system layer on demand: a plan says that the Nth call of
// one kind fails as the system would fail it (memory that runs out, a write
// to a full disk, a delete of a file another program holds). Only the test
// build of the library offers a way to set a plan; in the shipped one each
// check is a single load of a flag that is never set.
#pragma once

#include <cstddef>

enum class TSystemFault : unsigned { Allocation, FileWrite, FileDelete, Count };

// Counts this call of Site while a plan is set, and says whether it is the
// one to fail. Only the thread that set the plan counts: the host's, whose
// order of calls is the same in every run.
bool SystemFaultHere(TSystemFault Site) noexcept;
// From now on the call FailAt of Site fails (0: none, only counting); every
// count starts again. Armed false ends the plan.
void SetSystemFaultPlan(TSystemFault Site, std::size_t FailAt, bool Armed = true) noexcept;
// The calls of Site counted since the plan was set; whether its fault came.
std::size_t SystemFaultCalls(TSystemFault Site) noexcept;
bool SystemFaultInjected(TSystemFault Site) noexcept;
