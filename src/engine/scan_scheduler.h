#pragma once

#include <QMutex>
#include <QString>

#include <vector>

class TMyThreads;

// The process-wide lock held for the whole of a pass.
QMutex& ScanLock();

// The whole number a "Threads gleichzeitig" text holds; 0 for a text that is none, so a pass starts
// nothing until the field holds a number again.
int threadLimitFromText(const QString& text);

// One pass: counts the started, unfinished scanners and resumes waiting ones from the front of the list
// while free places remain. Empty places are passed over. Returns how many it resumed.
int ResumeScanners(const std::vector<TMyThreads*>& threadArray, int limit);

// Runs ResumeScanners on a short-lived thread of its own, under ScanLock, while the calling (main) thread
// keeps handling its events in 10 ms slices.
int runPassAndWait(const std::vector<TMyThreads*>& threadArray, int limit);
