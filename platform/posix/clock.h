// The monotonic clock every wait of the layer is measured on.
#pragma once

#include <cstdint>
#include <ctime>

namespace zcal_posix {

std::uint64_t monotonic_ns();
inline std::uint64_t monotonic_ms() { return monotonic_ns() / 1000000; }

// The time left until deadline_ns, for ppoll: zero once it has passed.
struct timespec time_left(std::uint64_t deadline_ns);

}  // namespace zcal_posix
