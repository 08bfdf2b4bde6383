#pragma once

// A generated machine far larger than the fixtures: many CPUs, several fan chips, AMD and
// NVIDIA cards and integrated graphics. For the label rules at scale and the pass benchmark.

#include <QString>

struct BigMachine
{
    int cpus = 64;
    int fanChips = 4;    // nct6798 with seven fans each; the first one's fan2 is the CPU fan
    int amdCards = 8;    // at 0000:1N:00.0
    int nvidiaCards = 2; // at 0000:2N:00.0, answered by the fake NVML (see useFakeNvml)

    // Writes the tree under root (sys/ and proc/); false on a write error.
    bool write(const QString& root) const;
    // Points the in-process fake NVML at this machine's NVIDIA cards.
    void useFakeNvml() const;
    int sensors() const { return 1 + 1 + fanChips + amdCards + nvidiaCards + 1; }
};
