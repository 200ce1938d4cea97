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

// The rest of the input as printer output on port 0: chunks of up to 255
// bytes, each after a gap of 0 to 3.3 s in steps of 50 µs (fine enough to
// land on either side of a 1 ms read time-out). Arrival times only grow, so
// the fake hands the bytes out in the order they are listed here.
inline std::string schedule_printer_output(fuzz_input* input, std::uint64_t from_us,
                                           std::vector<arrival>* arrivals) {
    std::string all;
    std::uint64_t at_us = from_us;
    while (!input->empty()) {
        at_us += std::uint64_t{input->word()} * 50;
        const std::string chunk = input->bytes(input->byte());
        fake::schedule_bytes(0, at_us, chunk);
        for (char byte : chunk) {
            arrivals->push_back(arrival{at_us, byte});
        }
        all += chunk;
    }
    return all;
}

// A broken invariant: say which, so the crash report explains itself.
#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, \
                         #condition);                                                  \
            std::abort();                                                              \
        }                                                                              \
    } while (0)
