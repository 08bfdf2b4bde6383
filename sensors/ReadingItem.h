#pragma once

#include <QString>
#include <QVector>
#include <QtGlobal>

// The program's copy of one usable library reading, kept in enumeration order.
struct ReadingItem
{
    QString sensorName;
    QString label;
    qint32 sensorLocation = 0;
    qint32 readingLocation = 0;
    qint32 readingType = 0; // the record's own code, not the one asked for
    double value = 0.0;
    qint32 sensorIndex = 0;
    qint32 readingIndex = 0;
};

using ReadingItems = QVector<ReadingItem>;
