// Start and stop of the whole library, unit by unit: the framework's
// registries first, then the system helpers, the plugin object last; stop in
// reverse, with the plugin object freed at the very end.
#pragma once

void LibraryInitialize();
void LibraryFinalize() noexcept;
// The process is ending: only what outlives it (temporary files) is undone.
void LibraryProcessExit() noexcept;
