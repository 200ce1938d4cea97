// The port search when the first name is taken by something that is not a
// serial port at all: the search must not hang on it, must not take it for
// the printer, and must go on to the printer behind it (here ttyUSB0, the
// second name looked for).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "fault_steps.h"

namespace faults {
namespace {

using e2e::Zcal_session;

struct Device_case {
    const char* name;
    std::string source;  // bound over /dev/ttyACM0; "file" makes a regular file
};

void PrintTo(const Device_case& c, std::ostream* out) { *out << c.name; }

class NotASerialPort : public ::testing::TestWithParam<Device_case> {};

TEST_P(NotASerialPort, IsSkippedAndThePrinterBehindItIsUsed) {
    std::string source = GetParam().source;
    char file[] = "/tmp/zcal-fault-file.XXXXXX";
    if (source == "file") {
        // A file that reads like a printer's boot chatter, to tempt the drain.
        const int fd = mkstemp(file);
        ASSERT_GE(fd, 0);
        const std::string chatter = "start\necho:not a printer\nok\n";
        ASSERT_EQ(write(fd, chatter.data(), chatter.size()), static_cast<ssize_t>(chatter.size()));
        close(fd);
        source = file;
    }
    {
        Launch_with launch("ttyACM0=" + source, "");
        Zcal_session session({{"--port", "ttyUSB0"}, "C.UTF-8"});
        // The printer wait is 2.2 s; a search that hung, or a drain that never
        // ended (/dev/zero), would miss this by far.
        ASSERT_GE(e2e::wait_for_bed_line(session), 0) << "no bed line\n" << session.dump();
        session.type("t");
        ASSERT_TRUE(e2e::wait_for_height(session, "200.010")) << session.dump();
        ASSERT_TRUE(e2e::wait_for_lines(session, 1)) << "the printer on ttyUSB0 got nothing\n" << session.log();
        EXPECT_EQ(session.log_texts(), std::vector<std::string>{e2e::move_line("200.010")});
        e2e::end_with_space(session);
    }
    if (GetParam().source == "file") unlink(file);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, NotASerialPort,
    ::testing::Values(Device_case{"null_device", "/dev/null"},
                      // Endless bytes: taken for a port, its drain would never end.
                      Device_case{"zero_device", "/dev/zero"},
                      Device_case{"regular_file", "file"}),
    [](const ::testing::TestParamInfo<Device_case>& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace faults
