#pragma once

// The telemetry frame: 23 bytes, host to device, once per connection check.
//
//  off size field               off size field
//    0   1  mark 0x74 (clear)     9   2  GPU clock
//    1   1  1 = Fahrenheit        11  4  GPU memory used
//    2   1  CPU temperature       15  4  GPU memory total
//    3   2  CPU fan               19  2  GPU fan
//    5   1  CPU load              21  1  GPU temperature
//    6   2  CPU clock             22  1  RAM load
//    8   1  GPU load
//
// Multi-byte fields are big-endian. Narrow fields keep the low bits of the stored value, without
// clamping. Bytes 2 to 22 are XORed with the mask 0xA5; bytes 0 and 1 go out as they are.

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace zolven {

inline constexpr char kFrameMark = 0x74;
inline constexpr quint8 kFrameMask = 0xA5;
inline constexpr int kFrameSize = 23;

// The latest value of each metric, as the window handed it over.
struct MetricStore
{
    qint32 cpuTemperature = 0;
    qint32 cpuFrequency = 0;
    qint32 cpuUtilization = 0;
    qint32 cpuFanSpeed = 0;
    qint32 gpuFrequency = 0;
    qint32 gpuUtilization = 0;
    qint32 gpuFanSpeed = 0;
    qint32 gpuMemOccupancy = 0;
    qint32 gpuMemTotal = 0;
    qint32 gpuTemperature = 0;
    qint32 ramUsage = 0;
};

// Builds one frame into buffer, replacing its content; the buffer's storage is reused.
void buildFrame(const MetricStore& store, bool fahrenheit, QByteArray& buffer);
QByteArray buildFrame(const MetricStore& store, bool fahrenheit);

// A frame with the mask undone: each field as the unsigned number of its width.
struct DecodedFrame
{
    bool fahrenheit = false;
    quint8 unitFlag = 0;
    quint32 cpuTemperature = 0;
    quint32 cpuFanSpeed = 0;
    quint32 cpuUtilization = 0;
    quint32 cpuFrequency = 0;
    quint32 gpuUtilization = 0;
    quint32 gpuFrequency = 0;
    quint32 gpuMemOccupancy = 0;
    quint32 gpuMemTotal = 0;
    quint32 gpuFanSpeed = 0;
    quint32 gpuTemperature = 0;
    quint32 ramUsage = 0;
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
