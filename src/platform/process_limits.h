#pragma once

namespace platform {

// Raises the process's soft limit of open files to its hard limit, so that several scanners of deep trees
// and the rest of the program never run short of descriptors. Called once at the start of each program;
// returns the soft limit now in force (-1: unlimited, 0: the system has no such limit).
long raiseOpenFileLimit();

}  // namespace platform
