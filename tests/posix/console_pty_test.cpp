// The console layer in a real terminal: a small key-reading program on the
// POSIX layer (console_driver) runs on a pseudo-terminal the test holds,
// and writes each input record it reads to a log. What a person types, a
// resize of the window and the end of input all arrive as the records the
// program expects, and the terminal's mode comes back as it was. zcal
// itself in a terminal is tested in tests/e2e and tests/faults.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "pty_session.h"

namespace {

using harness::pty_session;

class keys_on_terminal : public ::testing::Test {
protected:
    keys_on_terminal() {
        char name[] = "/tmp/zcal-keys.XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) {
            close(fd);
            log_path_ = name;
        }
    }
    ~keys_on_terminal() override {
        if (!log_path_.empty())
            unlink(log_path_.c_str());
    }

    harness::launch driver(bool stdin_from_null = false) const {
        harness::launch how;
        how.program = ZCAL_CONSOLE_DRIVER;
        how.arguments = {log_path_};
        how.with_printer = false;
        how.columns = 130;
        how.stdin_from_null = stdin_from_null;
        return how;
    }
    std::string log() const {
        std::ifstream file(log_path_);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    bool wait_for_log(pty_session& run, const std::string& text) const {
        return run.wait_until([&] { return log().find(text) != std::string::npos; }, 5.0) >= 0;
    }
    // The driver ends on Space: with status 0 and the terminal as it was.
    void expect_clean_end(pty_session& run) const {
        int status = -1;
        ASSERT_TRUE(run.wait_exit(5.0, &status)) << log();
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(harness::same_mode(run.mode_before(), run.terminal_mode()))
            << harness::describe_mode(run.terminal_mode());
    }

private:
    std::string log_path_;
};

TEST_F(keys_on_terminal, typed_keys_become_records_in_order) {
    pty_session run(driver());
    ASSERT_TRUE(wait_for_log(run, "ready\n"));
    EXPECT_TRUE(harness::raw_mode(run.terminal_mode())) << harness::describe_mode(run.terminal_mode());
    run.type("aZ");
    run.type("\x1b[A");
    run.type("\x1b[<0;5;5M");
    run.type("\x1b[200~");
    run.type("\xc3\xa9");
    run.type("e ");
    ASSERT_TRUE(wait_for_log(run, "key 20\n")) << log();
    EXPECT_EQ(log(), "ready\nkey 41\nkey 5A\nkey 00\nkey 00\nkey 00\nkey 00\nkey 45\nkey 20\n");
    expect_clean_end(run);
    EXPECT_TRUE(harness::cooked_mode(run.terminal_mode()));
}

TEST_F(keys_on_terminal, a_lone_escape_arrives_after_its_time_out) {
    pty_session run(driver());
    ASSERT_TRUE(wait_for_log(run, "ready\n"));
    run.type("\x1b");
    ASSERT_TRUE(wait_for_log(run, "key 00\n")) << log();
    run.type(" ");
    expect_clean_end(run);
}

TEST_F(keys_on_terminal, a_resize_becomes_a_window_size_record) {
    pty_session run(driver());
    ASSERT_TRUE(wait_for_log(run, "ready\n"));
    run.resize(140, 40);
    ASSERT_TRUE(wait_for_log(run, "size 140 40\n")) << log();
    run.type(" ");
    expect_clean_end(run);
}

TEST_F(keys_on_terminal, input_that_ends_ends_the_reading) {
    pty_session run(driver(true));
    int status = -1;
    ASSERT_TRUE(run.wait_exit(5.0, &status)) << log();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(log(), "ready\nended 38\n");
}

}  // namespace
