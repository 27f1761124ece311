#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

// Sets TZ for the life of the object and restores the previous value, so a test can pin the local time
// zone that the stamps are computed in.
class LocalZone {
public:
    explicit LocalZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        set(zone);
    }
    ~LocalZone()
    {
        set(m_old ? m_old->c_str() : nullptr);
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

private:
    static void set(const char* zone)
    {
#ifdef _WIN32
        ::_putenv_s("TZ", zone ? zone : "");  // an empty value removes it
        ::_tzset();
#else
        if (zone)
            ::setenv("TZ", zone, 1);
        else
            ::unsetenv("TZ");
        ::tzset();
#endif
    }

    std::optional<std::string> m_old;
};

// Central European time with its summer time rule, written out so no zone database is needed.
inline constexpr const char* kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";
inline constexpr const char* kUtc = "UTC0";
