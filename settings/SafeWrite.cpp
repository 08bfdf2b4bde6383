#include "SafeWrite.h"

#include <QSaveFile>

namespace zolven {

bool replaceFile(const QString& path, const QByteArray& bytes, QString* why)
{
    QSaveFile file(path);
    auto fail = [&](const QString& reason) {
        if (why)
            *why = reason;
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    // The buffer is written out at the flush, not at write(): a full disk shows only there, and
    // commit() would otherwise put the short file in place of the old one.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    if (!file.commit()) {
        if (why)
            *why = file.errorString();
        return false;
    }
    return true;
}

} // namespace zolven
