// What the port's time-outs mean for one read or write.
//
// A read of N bytes ends with what it has once multiplier x N + constant ms
// have passed since it began (the total), or once more than the interval
// passes between two bytes; either way it succeeds. No total and no
// interval: it waits for all N bytes. An interval of MAXDWORD with no total
// gives what is there at once; with a multiplier of MAXDWORD and a constant
// it gives as soon as any byte is there, waiting at most the constant.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace zcal_posix {

constexpr DWORD maxdword = 0xFFFFFFFFu;

struct read_plan {
    bool immediate;      // give what is there, wait for nothing
    bool any_byte_ends;  // done as soon as one byte has come
    bool has_total;
    std::uint64_t total_ms;
    bool has_interval;
    std::uint64_t interval_ms;
};

read_plan plan_read(const COMMTIMEOUTS& timeouts, DWORD length);

// Writes have no time-out when both write fields are 0: the write would then
// wait for ever on a device that stopped taking bytes, and the program with
// it, unable even to read the key that ends it. Such a write gives up after
// this long instead.
constexpr std::uint64_t unbounded_write_limit_ms = 1000;

// How long a write of length bytes may wait for the device.
std::uint64_t write_wait_limit_ms(const COMMTIMEOUTS& timeouts, DWORD length);

}  // namespace zcal_posix
