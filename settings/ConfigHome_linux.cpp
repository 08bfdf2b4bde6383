#include "SettingsLocation.h"

#include "userfiles/ConfigHome.h"

#include <QFile>

namespace zolven {

QString userConfigHome()
{
    // The same function as config.dat's, so that the two never disagree.
    return QFile::decodeName(QByteArray::fromStdString(userfiles::configHome()));
}

} // namespace zolven
