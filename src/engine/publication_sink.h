#pragma once

struct TTobData;

// Receives a scanner's publications on the thread of the scanner's sink context (the main thread in the
// programs), right after the figures were copied into the row's record. The window's run (ScanRun) and
// arvelo-stat's (StatRun) implement it; benchmarks and tests have their own.
class PublicationSink {
public:
    virtual ~PublicationSink() = default;
    // Size: the row's size in MB as just stored; Unter: a row below the top level; Zwischen: the walk is
    // still running (an interim publication).
    virtual void UpdateLVCaption(double Size, TTobData* TmpData, bool Unter, bool Zwischen) = 0;
};
