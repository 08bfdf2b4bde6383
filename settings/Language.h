#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

namespace zolven {

struct LanguageEntry
{
    quint16 index = 0;
    QString displayName;
    QString translationFile;
};

// The three interface languages, in index order.
QList<LanguageEntry> languageTable();

} // namespace zolven
