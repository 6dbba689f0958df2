#pragma once

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace sorvin::bench {

// A field of /proc/self/status in kilobytes ("VmRSS:", "VmHWM:"); 0 when it cannot be read.
inline long statusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    return 0;
}

// Makes the peak resident size (VmHWM) start again from the present size.
inline void resetPeakResidentSize() { std::ofstream("/proc/self/clear_refs") << "5"; }

} // namespace sorvin::bench
