#include "InstanceChannel.h"

#include <QtGlobal>

namespace zolven {

QString instanceChannelName()
{
    // Pipe names are machine-wide: the user's name keeps each user's copy to itself, and
    // UserAccessOption keeps other users off it.
    return QStringLiteral("ZOLVEN-wake-") + qEnvironmentVariable("USERNAME");
}

} // namespace zolven
