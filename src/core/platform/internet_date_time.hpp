#pragma once

#include <chrono>
#include <string>

namespace sorvin::InternetDateTime {

// The moment in UTC as "YYYY-MM-DDTHH:MM:SSZ" (ISO 8601 internet date-time, whole seconds; a
// fraction of a second is cut off, never rounded up).
std::string utcText(std::chrono::system_clock::time_point moment);

} // namespace sorvin::InternetDateTime
