// The port names and the devices they stand for.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/posix/port_names.h"

namespace {

using namespace zcal_posix;

std::string device_of(const char* name) {
    char path[32];
    return device_path_for_port(name, path, sizeof path) ? path : "none";
}

TEST(port_names, the_two_kinds_of_usb_serial_device_take_turns) {
    EXPECT_EQ(device_of("\\\\.\\COM0"), "/dev/ttyACM0");
    EXPECT_EQ(device_of("\\\\.\\COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(device_of("\\\\.\\COM2"), "/dev/ttyACM1");
    EXPECT_EQ(device_of("\\\\.\\COM3"), "/dev/ttyUSB1");
    EXPECT_EQ(device_of("\\\\.\\COM9"), "/dev/ttyUSB4");
    EXPECT_EQ(device_of("\\\\.\\COM10"), "/dev/ttyACM5");
    EXPECT_EQ(device_of("\\\\.\\COM19"), "/dev/ttyUSB9");
    EXPECT_EQ(device_of("\\\\.\\COM20"), "/dev/ttyACM10");
}

TEST(port_names, the_21_names_are_21_devices) {
    std::set<std::string> devices;
    for (int number = 0; number <= 20; ++number) {
        devices.insert(device_of(("\\\\.\\COM" + std::to_string(number)).c_str()));
    }
    EXPECT_EQ(devices.size(), 21u);
    EXPECT_EQ(devices.count("none"), 0u);
}

TEST(port_names, device_names_are_not_case_sensitive) {
    EXPECT_EQ(device_of("\\\\.\\com3"), "/dev/ttyUSB1");
    EXPECT_EQ(device_of("\\\\.\\Com4"), "/dev/ttyACM2");
}

TEST(port_names, any_other_name_is_no_port) {
    for (const char* name :
         {"\\\\.\\COM21", "\\\\.\\COM99", "\\\\.\\COM03", "\\\\.\\COM00", "\\\\.\\COM", "\\\\.\\COM-1",
          "\\\\.\\COM+1", "\\\\.\\COM 1", "\\\\.\\COM1x", "\\\\.\\LPT1", "\\\\.\\COM4294967297", ""}) {
        EXPECT_EQ(device_of(name), "none") << name;
    }
    char path[32];
    EXPECT_FALSE(device_path_for_port(nullptr, path, sizeof path));
}

// A port named on the command line reaches CreateFileA as its path.
TEST(port_names, a_name_outside_the_device_namespace_is_a_path_and_opens_as_it_is) {
    EXPECT_EQ(device_of("/dev/ttyUSB3"), "/dev/ttyUSB3");
    EXPECT_EQ(device_of("/dev/serial/by-id/usb-x-if00"), "/dev/serial/by-id/usb-x-if00");
    EXPECT_EQ(device_of("COM1"), "COM1");
}

TEST(port_names, a_path_that_does_not_fit_is_refused) {
    char path[12];
    EXPECT_FALSE(device_path_for_port("\\\\.\\COM20", path, sizeof path));
    EXPECT_FALSE(device_path_for_port("/dev/ttyUSB10", path, sizeof path));
    EXPECT_TRUE(device_path_for_port("/dev/ttyS10", path, sizeof path));
}

}  // namespace
