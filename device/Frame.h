#pragma once

// The telemetry frame: 23 bytes, host to device, once per connection check. Byte 0 is the mark
// 0x74, byte 1 the unit flag (1 = Fahrenheit); the eleven metrics follow in the fields of
// kFrameFields. Multi-byte fields are big-endian. Narrow fields keep the low bits of the stored
// value, without clamping. Bytes 2 to 22 are XORed with the mask 0xA5; bytes 0 and 1 go out as
// they are.

#include "sensors/Metric.h"

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace zolven {

inline constexpr char kFrameMark = 0x74;
inline constexpr quint8 kFrameMask = 0xA5;
inline constexpr int kFrameSize = 23;

struct FrameField
{
    sensors::Metric metric;
    int offset;
    int width;
    const char* key; // the field's name in framedump's lines
};

// In the order framedump lists them: per device temperature, load, clock, fan.
inline constexpr FrameField kFrameFields[sensors::kMetricCount] = {
    {sensors::Metric::CpuTemp, 2, 1, "cpu_temp"},
    {sensors::Metric::CpuUsage, 5, 1, "cpu_load"},
    {sensors::Metric::CpuClock, 6, 2, "cpu_clock"},
    {sensors::Metric::CpuFan, 3, 2, "cpu_fan"},
    {sensors::Metric::GpuTemp, 21, 1, "gpu_temp"},
    {sensors::Metric::GpuUsage, 8, 1, "gpu_load"},
    {sensors::Metric::GpuClock, 9, 2, "gpu_clock"},
    {sensors::Metric::GpuFan, 19, 2, "gpu_fan"},
    {sensors::Metric::GpuRamUsed, 11, 4, "gpu_mem_used"},
    {sensors::Metric::GpuRamTotal, 15, 4, "gpu_mem_total"},
    {sensors::Metric::RamUsage, 22, 1, "ram_load"},
};

// Every metric once, every byte after the header in exactly one field.
constexpr bool frameFieldsCoverTheFrame()
{
    quint32 bytes = 0b11;
    quint32 metrics = 0;
    for (const FrameField& f : kFrameFields) {
        if (f.width < 1 || f.width > 4 || f.offset < 2 || f.offset + f.width > kFrameSize)
            return false;
        for (int i = f.offset; i < f.offset + f.width; ++i) {
            if (bytes & (1u << i))
                return false;
            bytes |= 1u << i;
        }
        if (metrics & (1u << int(f.metric)))
            return false;
        metrics |= 1u << int(f.metric);
    }
    return bytes == (1u << kFrameSize) - 1 && metrics == (1u << sensors::kMetricCount) - 1;
}
static_assert(frameFieldsCoverTheFrame(), "kFrameFields must tile bytes 2 to 22");

// The latest value of each metric, as the window handed it over.
using MetricStore = sensors::MetricArray<qint32>;

// Builds one frame into buffer, replacing its content; the buffer's storage is reused.
void buildFrame(const MetricStore& store, bool fahrenheit, QByteArray& buffer);
QByteArray buildFrame(const MetricStore& store, bool fahrenheit);

// A frame with the mask undone: each field as the unsigned number of its width.
struct DecodedFrame
{
    bool fahrenheit = false;
    quint8 unitFlag = 0;
    sensors::MetricArray<quint32> fields;

    quint32 operator[](sensors::Metric m) const { return fields[m]; }
};

// Decodes the 23 bytes at the start of frame; nothing when they are too few or the mark is wrong.
std::optional<DecodedFrame> decodeFrame(const QByteArray& frame);

// Cuts a byte stream into frames. The stream has no length or checksum, so a frame is taken to
// start at a mark byte followed by a valid unit flag (0 or 1); bytes before it are skipped.
class FrameScanner
{
public:
    void feed(const QByteArray& bytes) { m_pending.append(bytes); }
    // The next whole frame, or nothing until more bytes arrive.
    std::optional<QByteArray> next();
    // Bytes passed over while looking for a frame start.
    qint64 skipped() const { return m_skipped; }

private:
    QByteArray m_pending;
    qint64 m_skipped = 0;
};

} // namespace zolven
