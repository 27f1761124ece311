#include "engine/tob_data.h"

QString userIdFromPath(const QString& path)
{
    return path.size() <= 8 ? path : path.right(8);
}
