#pragma once

#include <QString>

namespace platform {

// Where UNC paths \\HOST\SHARE\rest lead when a root is given (the stand-in server's shares, or a machine
// without Windows networking): <root>/HOST/SHARE/rest. The root is the one set here, else the environment
// variable ARVELO_UNC_ROOT, else none: the path then only has its separators turned, and on Windows it is used
// as it is.
void setUncRoot(const QString& root);
QString uncRoot();

// A file-system path for a path in Windows notation. On Windows a path that is not UNC, or a UNC path without a
// root, is used as it is. Under a root, "."
// and ".." of a UNC path are resolved here, and a path with ".." as host or share, or whose ".." would climb
// above \\HOST\SHARE, gives an empty text: it leads to no folder, as on Windows.
QString resolveUncPath(const QString& path);

}  // namespace platform
