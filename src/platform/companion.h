#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

namespace platform {

// Exit codes the headless companions share.
namespace companionexit {
constexpr int kOk = 0;
constexpr int kPartly = 1;   // done, but some of it is missing or failed (reasons on standard error)
constexpr int kServer = 2;   // a failed log-on, a bad archive or a server error
constexpr int kUsage = 64;   // bad usage
constexpr int kOutput = 74;  // output that could not be written
}  // namespace companionexit

// The terminal side of a headless companion: its remarks on standard error begin with the program's name,
// and while standard error is a terminal, a progress line there rewrites itself.
class Companion {
public:
    // `name` prefixes every line: "arvelo-stat". A reader that goes away (arvelo-stat | head) makes a write
    // fail rather than killing the program with SIGPIPE, so the program ends with its own code.
    explicit Companion(const char* name);
    ~Companion();
    Companion(const Companion&) = delete;
    Companion& operator=(const Companion&) = delete;

    // A remark on a line of its own; the progress line is cleared first.
    void say(const QString& text);

    // Writes to standard output and flushes; false when it could not all be written.
    bool write(const QByteArray& bytes);

    // A bad command line: the reason and where to read about the usage; returns the exit code.
    int usage(const QString& error);
    // Writes the help (or another text asked for alone) and returns the exit code.
    int answer(const QString& text);

    // Shows a new step at once.
    void progress(const QString& text);
    // Shows a running count, at most about ten times a second.
    void tick(const QString& text);
    // Whether tick() would show a text now; lets a caller that ticks very often skip making the text.
    bool tickDue() const;
    // Clears the progress line.
    void endProgress();

private:
    QByteArray m_name;
    bool m_terminal;
    bool m_shown = false;
    QElapsedTimer m_clock;
};

}  // namespace platform
