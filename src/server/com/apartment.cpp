#include "server/com/apartment.h"

#include "server/udavid_api.h"

#include <objbase.h>
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace com {

namespace {

struct Task {
    const std::function<void()>* work = nullptr;
    std::exception_ptr error;
    bool done = false;
};

}  // namespace

struct Apartment::Private {
    std::thread thread;
    DWORD threadId = 0;
    HANDLE wake = nullptr;  // set when a task is queued or the apartment is to end

    std::mutex mutex;
    std::condition_variable finished;  // a task is done
    std::deque<Task*> queue;
    bool ending = false;  // no new task is taken
    bool ended = false;   // the thread has left the apartment

    void loop();
    void runQueued();
};

void Apartment::Private::runQueued()
{
    for (;;) {
        Task* task = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (queue.empty())
                return;
            task = queue.front();
            queue.pop_front();
        }
        try {
            (*task->work)();
        } catch (...) {
            task->error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            task->done = true;
        }
        finished.notify_all();
    }
}

void Apartment::Private::loop()
{
    // A single-threaded apartment: the component's objects live here whatever threading model it declares,
    // and calls from other apartments it may make arrive as window messages, pumped below.
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    for (;;) {
        const DWORD r = MsgWaitForMultipleObjectsEx(1, &wake, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0 + 1) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        runQueued();
        std::lock_guard<std::mutex> lock(mutex);
        if (ending && queue.empty())
            break;
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    std::lock_guard<std::mutex> lock(mutex);
    ended = true;
}

Apartment& Apartment::instance()
{
    static Apartment apartment;
    return apartment;
}

Apartment::Apartment() : d(new Private)
{
    d->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!d->wake) {
        d->ended = true;
        return;
    }
    d->thread = std::thread([this] {
        {
            std::lock_guard<std::mutex> lock(d->mutex);
            d->threadId = GetCurrentThreadId();
        }
        d->finished.notify_all();
        d->loop();
    });
    // The thread's id is known before anyone asks whether they are on it.
    std::unique_lock<std::mutex> lock(d->mutex);
    d->finished.wait(lock, [this] { return d->threadId != 0; });
}

Apartment::~Apartment()
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->ending = true;
    }
    if (d->thread.joinable()) {
        SetEvent(d->wake);
        d->thread.join();
    }
    if (d->wake)
        CloseHandle(d->wake);
    delete d;
}

bool Apartment::onThread() const
{
    return GetCurrentThreadId() == d->threadId;
}

void Apartment::run(const std::function<void()>& work)
{
    if (onThread()) {
        work();
        return;
    }
    Task task;
    task.work = &work;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (d->ending || d->ended)
            throw ServerError(QStringLiteral("Die Verbindung zur Server-Komponente ist beendet."));
        d->queue.push_back(&task);
    }
    SetEvent(d->wake);
    {
        std::unique_lock<std::mutex> lock(d->mutex);
        d->finished.wait(lock, [&task] { return task.done; });
    }
    if (task.error)
        std::rethrow_exception(task.error);
}

void Apartment::release(const std::function<void()>& work) noexcept
{
    try {
        run(work);
    } catch (...) {
        // Releasing does not fail; an apartment that has ended took its objects with it.
    }
}

}  // namespace com
