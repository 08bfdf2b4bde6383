#include "Frame.h"

namespace zolven {

void buildFrame(const MetricStore& s, bool fahrenheit, QByteArray& buf)
{
    // Keeps the storage for the next frame when nothing else shares it; every byte is written
    // below.
    buf.resize(kFrameSize);
    char* d = buf.data();
    d[0] = kFrameMark;
    d[1] = fahrenheit ? '\x01' : '\x00';
    for (const FrameField& f : kFrameFields) {
        // Two's complement: a negative value reaches the field as its low bytes.
        const auto value = static_cast<quint32>(s[f.metric]);
        for (int i = 0; i < f.width; ++i) {
            const auto byte = static_cast<quint8>(value >> (8 * (f.width - 1 - i)));
            d[f.offset + i] = static_cast<char>(byte ^ kFrameMask);
        }
    }
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
    DecodedFrame d;
    d.unitFlag = p[1];
    d.fahrenheit = p[1] == 0x01;
    for (const FrameField& f : kFrameFields) {
        quint32 v = 0;
        for (int i = 0; i < f.width; ++i)
            v = (v << 8) | (p[f.offset + i] ^ kFrameMask);
        d.fields[f.metric] = v;
    }
    return d;
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
