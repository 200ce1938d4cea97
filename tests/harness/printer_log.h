// The printer emulator's log, read as it grows: one record a line,
// "<usec> <text>" for a line the printer received and "<usec> #<event>" for
// what happened to its port (#open, #close, #hangup, #boot, ...).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace harness {

// One line the printer received, with the time (the harness's clock) it
// arrived.
struct received_line {
    std::int64_t at_us;
    std::string text;
};

class printer_log {
public:
    printer_log() = default;
    explicit printer_log(std::string path) : path_(std::move(path)) {}

    // Takes in what was logged since the last call; only whole records.
    void update();

    const std::vector<received_line>& lines() const { return lines_; }
    std::vector<std::string> texts() const;
    const std::vector<std::string>& events() const { return events_; }
    bool has_event(const std::string& prefix) const;
    // The whole log as it is now, for failure messages.
    std::string text() const;

private:
    std::string path_;
    std::size_t offset_ = 0;  // how much of the file was read
    std::string tail_;        // an unfinished record at its end
    std::vector<received_line> lines_;
    std::vector<std::string> events_;
};

}  // namespace harness
