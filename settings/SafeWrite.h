#pragma once

#include <QByteArray>
#include <QString>

namespace zolven {

// Replaces path with bytes so that a failure anywhere (no space at the last flush, no inode, a
// quota, an I/O error) leaves the old file whole. False with the reason in why otherwise.
bool replaceFile(const QString& path, const QByteArray& bytes, QString* why = nullptr);

} // namespace zolven
