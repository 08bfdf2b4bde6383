#include "FrameDump.h"

namespace zolven {

QString describeFrame(qint64 number, const DecodedFrame& f)
{
    const QString unit = f.unitFlag == 0   ? QStringLiteral("C")
                         : f.unitFlag == 1 ? QStringLiteral("F")
                                           : QStringLiteral("?%1").arg(f.unitFlag);
    QString line = QStringLiteral("#%1 unit=%2").arg(number).arg(unit);
    for (const FrameField& field : kFrameFields)
        line += QStringLiteral(" %1=%2").arg(QLatin1String(field.key)).arg(f[field.metric]);
    return line;
}

} // namespace zolven
