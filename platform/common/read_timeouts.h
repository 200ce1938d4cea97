// What a serial port's read time-outs mean for one read: the one rule that
// the POSIX layer and the unit tests' fake both follow.
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

constexpr DWORD read_timeout_maxdword = 0xFFFFFFFFu;

struct read_plan {
    bool immediate;      // give what is there, wait for nothing
    bool any_byte_ends;  // done as soon as one byte has come
    bool has_total;
    std::uint64_t total_ms;
    bool has_interval;
    std::uint64_t interval_ms;
};

read_plan plan_read(const COMMTIMEOUTS& timeouts, DWORD length);

// A read that may wait for ever for a byte that does not come.
inline bool read_waits_for_every_byte(const read_plan& plan) {
    return !plan.immediate && !plan.has_total && !plan.has_interval;
}
