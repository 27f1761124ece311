#pragma once

#include <functional>

// The one thread that talks to the server's component. Every COM object the program gets from the server is
// made, called and released on this thread, a single-threaded apartment that pumps its messages: that suits a
// component registered as "Apartment", "Both" or "Free" alike, and no interface pointer is ever used from
// another thread, so nothing needs marshalling. Callers on any thread (the window, a scanner, the export's
// worker) hand it the work and wait; the apartment never waits for them, so it cannot deadlock with them.
namespace com {

class Apartment {
public:
    // The process's apartment, started on first use and ended when the program ends.
    static Apartment& instance();

    // Runs `work` on the apartment's thread and waits for it; an exception it throws is thrown here. On the
    // apartment's own thread `work` runs at once. After the apartment has ended, nothing runs and this
    // throws ServerError.
    void run(const std::function<void()>& work);

    // Like run, for releasing: after the apartment has ended, `work` is dropped without a word (the objects
    // it would release went with the apartment).
    void release(const std::function<void()>& work) noexcept;

    bool onThread() const;

    ~Apartment();
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

private:
    Apartment();
    struct Private;
    Private* d;
};

}  // namespace com
