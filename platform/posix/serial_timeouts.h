// How long a write on a serial port may wait. The read time-outs follow the
// rule in platform/common/read_timeouts.h.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace zcal_posix {

// Writes have no time-out when both write fields are 0: the write would then
// wait for ever on a device that stopped taking bytes, and the program with
// it, unable even to read the key that ends it. Such a write gives up after
// this long instead.
constexpr std::uint64_t unbounded_write_limit_ms = 1000;

// How long a write of length bytes may wait for the device.
std::uint64_t write_wait_limit_ms(const COMMTIMEOUTS& timeouts, DWORD length);

}  // namespace zcal_posix
