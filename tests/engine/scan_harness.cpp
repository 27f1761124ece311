#include "scan_harness.h"

#include <QElapsedTimer>

namespace harness {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "arvelo-tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* instance =
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)instance;
    return *QCoreApplication::instance();
}

void RecordingSink::UpdateLVCaption(double Size, TTobData* TmpData, bool Unter, bool Zwischen)
{
    Publication p;
    if (TmpData)
        p.data = *TmpData;
    p.size = Size;
    p.unter = Unter;
    p.zwischen = Zwischen;
    publications.push_back(p);
    if (onPublication)
        onPublication(publications.back());
}

int RecordingSink::interim() const
{
    int n = 0;
    for (const Publication& p : publications)
        n += p.zwischen ? 1 : 0;
    return n;
}

int RecordingSink::finals() const
{
    return int(publications.size()) - interim();
}

ScanResult scan(const QString& serverPath, const ScanOptions& options)
{
    app();
    RecordingSink sink;
    QObject context;  // lives in the main thread, like the main window
    auto* scanner = new TMyThreads({.FPfad = serverPath,
                                    .FTobData = options.record ? options.record : std::make_shared<TTobData>(),
                                    .FUnter = options.unter,
                                    .FSchritt = options.schritt,
                                    .sink = &sink,
                                    .sinkContext = &context});
    if (options.onPublication)
        sink.onPublication = [&](const Publication& p) { options.onPublication(*scanner, p); };

    ScanResult result;
    result.record = scanner->config().FTobData;
    scanner->resume();
    QElapsedTimer clock;
    clock.start();
    while (!scanner->wait(10)) {
        QCoreApplication::processEvents();
        if (clock.elapsed() > std::chrono::milliseconds(options.deadline).count()) {
            delete scanner;  // stops it and waits
            result.publications = sink.publications;
            return result;
        }
    }
    QCoreApplication::processEvents();
    result.finished = true;
    result.terminatedFlag = scanner->FTerminated;
    result.startedFlag = scanner->FEinmal;
    delete scanner;
    result.publications = sink.publications;
    result.interim = sink.interim();
    result.finals = sink.finals();
    return result;
}

}  // namespace harness
