// Shared pieces of the unit tests: a fresh fake platform for every test, and
// short ways to queue keys and read back what the program did.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/find_serial_port.h"
#include "platform/fake/fake_platform.h"

// main() of the program, built under this name for the tests.
int zcal_main(int argc, char** argv);

class on_fake : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    // A run that never ended would have been stopped by the fake's watchdog;
    // a call Windows refuses, blocks on or crashes in is a fault even when
    // the program got over it.
    void TearDown() override {
        EXPECT_FALSE(fake::watchdog_fired()) << "the run did not end";
        for (const std::string& violation : fake::violations()) {
            ADD_FAILURE() << "on Windows: " << violation;
        }
    }
};

// A press and a release of each key, named by its letter (upper case is the
// virtual-key code; ' ' is Space).
inline void queue_taps(const std::string& keys, std::uint64_t at_us = 0) {
    for (char key : keys) {
        fake::queue_tap(static_cast<WORD>(key), at_us);
    }
}

inline std::string repeated(char key, int count) { return std::string(static_cast<std::size_t>(count), key); }

// The height field's ten cells.
inline std::string height_field_text() { return fake::row_text(6).substr(30, 10); }

// What the printer received, one entry per line, line feeds dropped.
inline std::vector<std::string> sent_lines(int port) {
    std::vector<std::string> lines;
    std::string line;
    for (char byte : fake::sent_bytes(port)) {
        if (byte == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(byte);
        }
    }
    if (!line.empty()) {
        lines.push_back(line + " (no line feed)");
    }
    return lines;
}

// The loop's handles, as main would have them, with port 0 open.
struct loop_handles {
    HANDLE console_in;
    HANDLE console_out;
    HANDLE printer_port;
};

inline loop_handles open_loop_handles() {
    fake::add_port(0);
    loop_handles handles{GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                         INVALID_HANDLE_VALUE};
    open_serial_port(&handles.printer_port, fake::port_name(0).c_str());
    return handles;
}
