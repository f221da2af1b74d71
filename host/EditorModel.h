// The simulated host's editors: lines with their own line ends, cursor, top
// screen line, blocks, state bits and file name, answering EditorControl as
// the real host does.
#pragma once

class TFarHost;

class TEditorModel {
public:
    explicit TEditorModel(TFarHost& Host) : FHost(Host) {}

private:
    TFarHost& FHost;
};
