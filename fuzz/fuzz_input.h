// Reading a fuzzer's bytes as a plan: small numbers, times and chunks of
// printer output. Running out of input yields zeros, so every input is a
// valid plan and the fuzzer never wastes runs on rejected ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/find_serial_port.h"
#include "platform/fake/fake_platform.h"

struct fuzz_input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;

    bool empty() const { return at >= size; }

    std::uint8_t byte() { return empty() ? 0 : data[at++]; }

    std::uint16_t word() {
        const std::uint16_t low = byte();
        return static_cast<std::uint16_t>(low | (byte() << 8));
    }

    std::string bytes(std::size_t count) {
        std::string taken;
        while (count-- > 0 && !empty()) {
            taken.push_back(static_cast<char>(data[at++]));
        }
        return taken;
    }
};

// One byte as it is scheduled on the fake port: what and when.
struct arrival {
    std::uint64_t at_us;
    char byte;
};

// A piece of printer output: bytes sent back to back after a gap.
struct printer_chunk {
    std::uint64_t gap_us;
    std::string bytes;
};

// The rest of the input as printer output: chunks of up to 255 bytes, each
// after a gap of 0 to 3.3 s in steps of 50 µs (fine enough to land on either
// side of a 1 ms read time-out).
inline std::vector<printer_chunk> read_printer_chunks(fuzz_input* input) {
    std::vector<printer_chunk> chunks;
    while (!input->empty()) {
        const std::uint64_t gap_us = std::uint64_t{input->word()} * 50;
        chunks.push_back(printer_chunk{gap_us, input->bytes(input->byte())});
    }
    return chunks;
}

// Schedules the chunks on port 0 from from_us on and lists every byte with
// its arrival. Arrival times only grow, so the fake hands the bytes out in
// the order they are listed.
inline std::string schedule_chunks(const std::vector<printer_chunk>& chunks, std::uint64_t from_us,
                                   std::vector<arrival>* arrivals) {
    std::string all;
    std::uint64_t at_us = from_us;
    for (const printer_chunk& chunk : chunks) {
        at_us += chunk.gap_us;
        fake::schedule_bytes(0, at_us, chunk.bytes);
        for (char byte : chunk.bytes) {
            arrivals->push_back(arrival{at_us, byte});
        }
        all += chunk.bytes;
    }
    return all;
}

inline std::string schedule_printer_output(fuzz_input* input, std::uint64_t from_us,
                                           std::vector<arrival>* arrivals) {
    return schedule_chunks(read_printer_chunks(input), from_us, arrivals);
}

// A broken invariant: say which, so the crash report explains itself.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// A fresh fake platform with port 0 open, as the link leaves it, and the
// port failing from a fuzzed time on when the flag byte's bit 0 says so
// (the time in the next word, in 50 µs steps; UINT64_MAX when it never
// fails).
inline HANDLE open_fuzzed_port(fuzz_input* input, std::uint64_t* vanish_us) {
    fake::reset();
    fake::add_port(0);
    HANDLE port = INVALID_HANDLE_VALUE;
    FUZZ_CHECK(open_serial_port(&port, fake::port_name(0).c_str()) == 1);
    *vanish_us = UINT64_MAX;
    if (input->byte() & 1) {
        *vanish_us = std::uint64_t{input->word()} * 50;
        fake::vanish_at(0, *vanish_us);
    }
    return port;
}
