#include "platform/companion.h"

#include <csignal>
#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace platform {

namespace {

constexpr qint64 kTickMs = 100;

}  // namespace

Companion::Companion(const char* name) : m_name(name), m_terminal(isatty(fileno(stderr)) != 0)
{
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef _WIN32
    // The output goes out byte for byte as composed (CSV lines end in CR LF already); in the C runtime's text
    // mode every LF would get a CR of its own in front.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    m_clock.start();
}

Companion::~Companion()
{
    endProgress();
}

void Companion::say(const QString& text)
{
    endProgress();
    std::fprintf(stderr, "%s: %s\n", m_name.constData(), text.toLocal8Bit().constData());
}

bool Companion::write(const QByteArray& bytes)
{
    if (!bytes.isEmpty() && std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout) != std::size_t(bytes.size()))
        return false;
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

int Companion::usage(const QString& error)
{
    say(error);
    say(QStringLiteral("--help zeigt den Aufruf."));
    return companionexit::kUsage;
}

int Companion::answer(const QString& text)
{
    return write(text.toLocal8Bit()) ? companionexit::kOk : companionexit::kOutput;
}

void Companion::progress(const QString& text)
{
    if (!m_terminal)
        return;
    m_clock.restart();
    std::fprintf(stderr, "\r\033[K%s: %s", m_name.constData(), text.toLocal8Bit().constData());
    std::fflush(stderr);
    m_shown = true;
}

void Companion::tick(const QString& text)
{
    if (tickDue())
        progress(text);
}

bool Companion::tickDue() const
{
    return !m_shown || m_clock.elapsed() >= kTickMs;
}

void Companion::endProgress()
{
    if (m_shown)
        std::fputs("\r\033[K", stderr);
    m_shown = false;
}

}  // namespace platform
