#include "Frame.h"

namespace zolven {
namespace {

void appendBigEndian(QByteArray& out, quint32 value, int width)
{
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
        out.append(static_cast<char>((value >> shift) & 0xFF));
}

quint32 readBigEndian(const unsigned char* p, int width)
{
    quint32 v = 0;
    for (int i = 0; i < width; ++i)
        v = (v << 8) | (p[i] ^ kFrameMask);
    return v;
}

} // namespace

void buildFrame(const MetricStore& s, bool fahrenheit, QByteArray& buf)
{
    buf.resize(0); // keeps the storage for the next frame when nothing else shares it
    buf.append(kFrameMark);
    buf.append(fahrenheit ? '\x01' : '\x00');
    // Two's complement: a negative value reaches the field as its low bytes.
    const auto u = [](qint32 v) { return static_cast<quint32>(v); };
    appendBigEndian(buf, u(s.cpuTemperature), 1);
    appendBigEndian(buf, u(s.cpuFanSpeed), 2);
    appendBigEndian(buf, u(s.cpuUtilization), 1);
    appendBigEndian(buf, u(s.cpuFrequency), 2);
    appendBigEndian(buf, u(s.gpuUtilization), 1);
    appendBigEndian(buf, u(s.gpuFrequency), 2);
    appendBigEndian(buf, u(s.gpuMemOccupancy), 4);
    appendBigEndian(buf, u(s.gpuMemTotal), 4);
    appendBigEndian(buf, u(s.gpuFanSpeed), 2);
    appendBigEndian(buf, u(s.gpuTemperature), 1);
    appendBigEndian(buf, u(s.ramUsage), 1);
    char* d = buf.data();
    for (int i = 2; i < kFrameSize; ++i)
        d[i] = static_cast<char>(static_cast<quint8>(d[i]) ^ kFrameMask);
}

QByteArray buildFrame(const MetricStore& store, bool fahrenheit)
{
    QByteArray buf;
    buf.reserve(kFrameSize);
    buildFrame(store, fahrenheit, buf);
    return buf;
}

std::optional<DecodedFrame> decodeFrame(const QByteArray& frame)
{
    if (frame.size() < kFrameSize || frame.at(0) != kFrameMark)
        return std::nullopt;
    const auto* p = reinterpret_cast<const unsigned char*>(frame.constData());
    DecodedFrame f;
    f.unitFlag = p[1];
    f.fahrenheit = p[1] == 0x01;
    f.cpuTemperature = readBigEndian(p + 2, 1);
    f.cpuFanSpeed = readBigEndian(p + 3, 2);
    f.cpuUtilization = readBigEndian(p + 5, 1);
    f.cpuFrequency = readBigEndian(p + 6, 2);
    f.gpuUtilization = readBigEndian(p + 8, 1);
    f.gpuFrequency = readBigEndian(p + 9, 2);
    f.gpuMemOccupancy = readBigEndian(p + 11, 4);
    f.gpuMemTotal = readBigEndian(p + 15, 4);
    f.gpuFanSpeed = readBigEndian(p + 19, 2);
    f.gpuTemperature = readBigEndian(p + 21, 1);
    f.ramUsage = readBigEndian(p + 22, 1);
    return f;
}

std::optional<QByteArray> FrameScanner::next()
{
    int start = 0;
    while (start < m_pending.size()) {
        if (m_pending.at(start) == kFrameMark &&
            (start + 1 >= m_pending.size() || quint8(m_pending.at(start + 1)) <= 1))
            break;
        ++start;
    }
    m_skipped += start;
    m_pending.remove(0, start);
    if (m_pending.size() < kFrameSize)
        return std::nullopt;
    QByteArray frame = m_pending.left(kFrameSize);
    m_pending.remove(0, kFrameSize);
    return frame;
}

} // namespace zolven
