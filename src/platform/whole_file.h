#pragma once

#include <string>
#include <vector>

namespace platform {

enum class WholeFileResult {
    Read,        // the whole file is in the buffer
    NotRegular,  // a link, folder, pipe or device: not opened for reading
    Failed,      // could not be opened or read; the reason is set
};

// Reads a regular file completely into `buffer` (resized to the bytes read) with as few system calls as
// its size allows. A symbolic link is not followed and nothing but a regular file is read, so a pipe that
// happens to carry a file's name cannot block the caller. On Windows other writers are shut out while the
// file is open. The reason names the file and the system's message.
WholeFileResult readWholeFile(const std::string& path, std::vector<char>& buffer, std::string& reason);

#ifndef _WIN32
// The same for the file `name` in the folder open as `folder` (a descriptor), whose path `folderPath` only
// serves to name the file in the reason.
WholeFileResult readWholeFileAt(int folder, const std::string& folderPath, const std::string& name,
                                std::vector<char>& buffer, std::string& reason);
#endif

}  // namespace platform
