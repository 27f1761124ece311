#pragma once

// Runs a TMyThreads scanner the way the main window does: publications arrive as queued calls on a QObject
// of the main thread, which here runs an event loop until the scanner has finished and every publication
// has arrived.

#include "engine/my_threads.h"
#include "engine/publication_sink.h"
#include "engine/tob_data.h"

#include <QCoreApplication>
#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace harness {

// The one QCoreApplication of the test program, created on first use (on the main thread).
QCoreApplication& app();

// What one publication showed.
struct Publication {
    TTobData data;   // the row's record right after the copy
    double size = 0;
    bool unter = false;
    bool zwischen = false;
};

class RecordingSink : public PublicationSink {
public:
    void UpdateLVCaption(double Size, TTobData* TmpData, bool Unter, bool Zwischen) override;

    std::vector<Publication> publications;
    int interim() const;
    int finals() const;
    // Called on the main thread after each publication was recorded (a test may change the tree here).
    std::function<void(const Publication&)> onPublication;
};

struct ScanResult {
    std::vector<Publication> publications;
    std::shared_ptr<TTobData> record;
    bool finished = false;   // the thread ended before the deadline
    bool terminatedFlag = false;
    bool startedFlag = false;
    int interim = 0;
    int finals = 0;
};

struct ScanOptions {
    bool unter = false;
    std::int32_t schritt = 100;
    std::shared_ptr<TTobData> record;  // a fresh one when empty
    std::function<void(TMyThreads&, const Publication&)> onPublication;
    std::chrono::seconds deadline {120};
};

// Measures the folder given in server notation ("HOST:SHARE\\name") or as a local path and waits for the
// end with a running event loop.
ScanResult scan(const QString& serverPath, const ScanOptions& options = {});

}  // namespace harness
