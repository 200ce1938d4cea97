// The reply reader against any printer output: bytes in any amount, at any
// times, possibly with the port failing part way.
//
// Input: a flag byte (bit 0: the port fails at a time given by the next
// word, in 50 µs steps), one byte of milliseconds the reader starts late
// (bytes may be waiting already), then the printer's output as chunks (see
// schedule_printer_output).
//
// What must hold whatever the bytes and times:
//   - at most 254 bytes are taken from the port, and they are exactly the
//     first bytes that were sent, in order (nothing invented, none skipped);
//   - the buffer holds them, then zeros up to byte 254, so it is always a
//     zero-terminated text; byte 255 is not the reader's and is untouched;
//   - a carriage return ends the reply: it can only be the last byte taken;
//   - the reader stops for a reason: a carriage return, a full buffer, a
//     failed port, or a line that stayed quiet (the next byte really had
//     not arrived in time);
//   - each byte costs at most one read time-out, so the time spent is
//     bounded by the bytes taken.
#include <cstring>

#include "app/calibration.h"
#include "fuzz/fuzz_input.h"
#include "link/command_reply.h"

namespace {

constexpr char untouched = 0x5A;
constexpr std::uint64_t read_time_out_us = 2000;  // one byte: 1 ms per byte + 1 ms

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_input input{data, size};
    std::uint64_t vanish_us = UINT64_MAX;
    HANDLE port = open_fuzzed_port(&input, &vanish_us);
    const DWORD late_ms = input.byte();
    std::vector<arrival> arrivals;
    const std::string sent = schedule_printer_output(&input, 0, &arrivals);

    Sleep(late_ms);
    char text[text_buffer_size];
    std::memset(text, untouched, sizeof text);
    const std::uint64_t start_us = fake::now_us();
    const std::size_t reads_before = fake::trace_of("ReadFile").size();

    read_reply(port, text);

    const std::size_t taken = sent.size() - fake::unread_bytes(0);
    const std::size_t reads = fake::trace_of("ReadFile").size() - reads_before;
    const std::uint64_t spent_us = fake::now_us() - start_us;

    FUZZ_CHECK(taken <= static_cast<std::size_t>(reply_capacity));
    FUZZ_CHECK(std::memcmp(text, sent.data(), taken) == 0);
    for (std::size_t i = taken; i < static_cast<std::size_t>(reply_capacity) + 1; ++i) {
        FUZZ_CHECK(text[i] == '\0');
    }
    FUZZ_CHECK(text[text_buffer_size - 1] == untouched);
    FUZZ_CHECK(taken == 0 || std::memchr(text, '\r', taken - 1) == nullptr);

    const bool ended_at_return = taken > 0 && text[taken - 1] == '\r';
    const bool full = taken == static_cast<std::size_t>(reply_capacity);
    const bool failed = fake::now_us() >= vanish_us;
    const bool quiet = taken == sent.size() || arrivals[taken].at_us > fake::now_us();
    FUZZ_CHECK(ended_at_return || full || failed || quiet);

    // One read per byte taken, plus the one that found nothing.
    FUZZ_CHECK(reads <= taken + 1);
    FUZZ_CHECK(spent_us <= read_time_out_us * (taken + 1));
    CloseHandle(port);
    return 0;
}
