#pragma once

// One device the library watches: it declares its sensor and readings at discovery and
// writes their values into the catalogue once per pass.

namespace zolven::monitor {

class Catalogue;

inline constexpr const char* kCelsius = u8"\u00B0C";

struct PassContext
{
    double nowMs = 0.0; // monotonic clock, for sources that measure rates
};

class Source
{
public:
    virtual ~Source() = default;
    virtual void sample(Catalogue& catalogue, const PassContext& pass) = 0;
};

// Milliseconds on the monotonic clock.
double monotonicMs();

} // namespace zolven::monitor
