#pragma once

// The keyword rules that pick the eleven metrics out of the library's readings, and the clock
// means of a refresh pass. Pure: a pass returns what it writes and logs instead of doing it, so
// tests drive it without a bridge, a thread or a library.

#include "sensors/Metric.h"
#include "sensors/ReadingItem.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

namespace zolven::sensors {

enum class RuleMode
{
    Discovery, // matches are only logged
    Refresh,   // matches write their metric and are logged
};

// Truncates toward zero; NaN and values whose truncation leaves the signed 32-bit range give
// INT_MIN, as the x86 conversion instruction does.
qint32 toMetric(double value);

// What the rules read besides the items: the metrics as they stand, and whether the discrete
// card has been seen (named at start-up, or met in a pass).
struct MetricState
{
    MetricArray<qint32> values;
    bool gpuPresent = false;
};

// One value a pass takes from the items.
struct MetricFeed
{
    Metric metric;
    qint32 value;
    int item;     // index of the item it came from; -1 for a clock mean
    int logLines; // how many lines of the pass's log come before it
};

// Everything a pass does, in the order it does it, for the caller to apply.
struct PassResult
{
    QStringList log;             // every match, one line each
    QVector<MetricFeed> writes;  // every metric written; the clock means last
    QVector<MetricFeed> samples; // the clock readings the means are taken from
    // When this pass met the discrete card first: before writes[gpuFoundAt] (at the end when
    // it equals writes.size()). -1 when the mark was set already or is still clear.
    int gpuFoundAt = -1;
    MetricState state; // after the pass
};

// Walks the items in order and applies the rule group of each. A refresh pass then writes
// the truncated mean of each clock's samples, the CPU's first. Without withLog the pass
// writes the same but leaves its log empty: formatting every match's line is most of a pass's
// cost, wasted where no one reads the debug lines.
PassResult runPass(const ReadingItems& items, RuleMode mode, const MetricState& state,
                   bool withLog = true);

// Mean of the samples, truncated; only meaningful for a non-empty list.
qint32 averageSamples(const QVector<qint32>& samples);

// The value as the refresh log prints it: shortest text that reads back to the same double.
QString formatLogValue(double value);

} // namespace zolven::sensors
