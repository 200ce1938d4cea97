#include "platform/common/read_timeouts.h"

read_plan plan_read(const COMMTIMEOUTS& t, DWORD length) {
    read_plan plan{};
    if (t.ReadIntervalTimeout == read_timeout_maxdword && t.ReadTotalTimeoutMultiplier == 0 &&
        t.ReadTotalTimeoutConstant == 0) {
        plan.immediate = true;
        return plan;
    }
    if (t.ReadIntervalTimeout == read_timeout_maxdword &&
        t.ReadTotalTimeoutMultiplier == read_timeout_maxdword && t.ReadTotalTimeoutConstant != 0 &&
        t.ReadTotalTimeoutConstant != read_timeout_maxdword) {
        plan.any_byte_ends = true;
        plan.has_total = true;
        plan.total_ms = t.ReadTotalTimeoutConstant;
        return plan;
    }
    if (t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0) {
        plan.has_total = true;
        plan.total_ms = std::uint64_t{t.ReadTotalTimeoutMultiplier} * length + t.ReadTotalTimeoutConstant;
    }
    if (t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != read_timeout_maxdword) {
        plan.has_interval = true;
        plan.interval_ms = t.ReadIntervalTimeout;
    }
    return plan;
}
