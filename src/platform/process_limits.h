#pragma once

namespace platform {

// Raises the process's soft limit of open files to its hard limit, so that several scanners of deep trees
// and the rest of the program never run short of descriptors. Called once at the start of each program;
// returns the soft limit now in force (-1: unlimited, 0: the system has no such limit).
long raiseOpenFileLimit();

// Has every allocation of 1 MB and more mapped from the system and given back to it when freed. The C
// library otherwise raises that threshold after each large block freed, and later large blocks (lists of
// archives and rows) then stay in the heap among the rows: 4 MB more at the peak of arvelo-stat --sub over
// 163,000 archives. No effect where the library has no such setting.
void mapLargeBlocks();

}  // namespace platform
