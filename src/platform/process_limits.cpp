#include "platform/process_limits.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace platform {

long raiseOpenFileLimit()
{
#ifdef _WIN32
    return 0;  // handles have no per-process limit worth raising
#else
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur != limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        // An unlimited hard limit is more than the kernel grants one process; ask for a large number then.
        if (setrlimit(RLIMIT_NOFILE, &raised) != 0 && limit.rlim_max == RLIM_INFINITY) {
            raised.rlim_cur = 1 << 20;
            setrlimit(RLIMIT_NOFILE, &raised);
        }
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur == RLIM_INFINITY ? -1 : long(limit.rlim_cur);
#endif
}

void mapLargeBlocks()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
}

}  // namespace platform
