// The start-up wait and drain against any boot chatter: bytes in any amount
// and at any times, before, during and after the start-up sleep, possibly
// with the port failing part way.
//
// Input: a flag byte (bit 0: the port fails at a time given by the next
// word, in 50 µs steps), then the printer's output as chunks from the moment
// the port opened (see read_printer_chunks). The drain's byte limit is far
// beyond what an input holds; the unit tests reach it.
//
// What must hold:
//   - the whole start-up sleep is taken first, in one piece;
//   - the drain goes on while bytes keep coming and stops only when the line
//     has been quiet for a read time-out (the next byte, if any, had not yet
//     arrived), the port failed, or it has read its limit;
//   - each byte costs at most one read time-out, so the time spent after the
//     sleep is bounded by the bytes taken.
#include "fuzz/fuzz_input.h"
#include "link/wait_for_printer.h"

namespace {

constexpr std::uint64_t read_time_out_us = 2000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_input input{data, size};
    std::uint64_t vanish_us = UINT64_MAX;
    HANDLE port = open_fuzzed_port(&input, &vanish_us);
    std::vector<arrival> arrivals;
    const std::string sent = schedule_printer_output(&input, 0, &arrivals);

    const std::size_t calls_before = fake::trace().size();
    wait_for_printer(port);

    const std::size_t taken = sent.size() - fake::unread_bytes(0);
    const std::uint64_t sleep_us = fake::ms(printer_start_up_ms);
    const std::uint64_t spent_us = fake::now_us();

    FUZZ_CHECK(fake::trace_of("Sleep") == std::vector<std::string>{"Sleep 2222"});
    FUZZ_CHECK(fake::trace().size() > calls_before && fake::trace()[calls_before] == "Sleep 2222");
    const bool failed = fake::now_us() >= vanish_us;
    const bool quiet = taken == sent.size() || arrivals[taken].at_us > fake::now_us();
    FUZZ_CHECK(failed || quiet || taken == static_cast<std::size_t>(drain_limit));
    FUZZ_CHECK(taken <= static_cast<std::size_t>(drain_limit));
    std::size_t reads = 0;
    for (std::size_t i = calls_before; i < fake::trace().size(); ++i) {
        reads += fake::trace()[i].compare(0, 8, "ReadFile") == 0;
    }
    FUZZ_CHECK(reads <= taken + 1);
    FUZZ_CHECK(spent_us >= sleep_us);
    FUZZ_CHECK(spent_us <= sleep_us + read_time_out_us * (taken + 1));
    CloseHandle(port);
    return 0;
}
