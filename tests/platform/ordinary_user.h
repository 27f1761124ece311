#pragma once

// Root may write into any folder whatever its mode bits say. A test of a folder its user may not write makes
// its checks as an ordinary user: while this guard lives the process acts as "nobody" (effective user and group
// id 65534), also when the tests run as root.

// Windows has no second user a test could become: the tests that need one skip there.
#ifndef _WIN32

#include <sys/types.h>
#include <unistd.h>

class AsOrdinaryUser {
public:
    AsOrdinaryUser() : m_wasRoot(::geteuid() == 0)
    {
        if (m_wasRoot)
            m_ok = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    }
    ~AsOrdinaryUser()
    {
        if (m_wasRoot && m_ok)
            (void)!(::seteuid(0) == 0 && ::setegid(0) == 0);
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

    bool ok() const { return !m_wasRoot || m_ok; }

private:
    bool m_wasRoot;
    bool m_ok = true;
};

#endif  // _WIN32
