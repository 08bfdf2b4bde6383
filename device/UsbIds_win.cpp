#include "UsbIds.h"

namespace zolven {

bool usbIdsOfPort(const QString&, quint16&, quint16&)
{
    return false;
}

} // namespace zolven
