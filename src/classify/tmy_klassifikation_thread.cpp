#include "classify/tmy_klassifikation_thread.h"

TMyKlassifikationThread::TMyKlassifikationThread(QObject* parent) : QThread(parent)
{
    qRegisterMetaType<TypeScanResult>();
}

TMyKlassifikationThread::~TMyKlassifikationThread()
{
    Stop();
    wait();  // publication is queued, so this never waits for the caller's own thread
}

void TMyKlassifikationThread::Stop()
{
    m_stop.store(true);
    requestInterruption();
}

void TMyKlassifikationThread::run()
{
    TypeScanResult result;
    try {
        result = classify::scanTypes(FPfad, FSubFolder, &m_stop);
    } catch (const std::exception& e) {
        result = {};
        result.failed = true;
        result.reason = QString::fromLocal8Bit(e.what());
    }
    if (!result.stopped && !m_stop.load())
        emit Publish(result);
}
