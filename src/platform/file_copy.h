#pragma once

#include <QString>

class QFileDevice;

namespace platform {

// Copies what is left of `from`, from its position on, into `to` at its position; both positions end behind
// the copied bytes. Between two files on Linux the kernel copies without the data passing through the
// program, as cp does. False with `reason` (the system's words) when reading or writing failed; what was
// copied until then stays in `to`.
bool copyRest(QFileDevice& from, QFileDevice& to, QString* reason = nullptr);

}  // namespace platform
