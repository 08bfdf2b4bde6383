#include "InstanceChannel.h"

#include "app/LockLocation.h"

namespace zolven {

QString instanceChannelName()
{
    // A full path: QLocalServer would otherwise put a bare name in the shared /tmp.
    const QString dir = lockDirectory();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/ZOLVEN.wake");
}

} // namespace zolven
