#pragma once

#include <QString>

namespace platform {

// Where UNC paths \\HOST\SHARE\rest lead on a machine without Windows networking: <root>/HOST/SHARE/rest.
// The root is the one set here, else the environment variable ARVELO_UNC_ROOT, else none (the path then
// only has its separators turned).
void setUncRoot(const QString& root);
QString uncRoot();

// A file-system path for a path in Windows notation. On Windows the path is used as it is. Under a root, "."
// and ".." of a UNC path are resolved here, and a path with ".." as host or share, or whose ".." would climb
// above \\HOST\SHARE, gives an empty text: it leads to no folder, as on Windows.
QString resolveUncPath(const QString& path);

}  // namespace platform
