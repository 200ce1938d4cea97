// Small files the tests read and plant: logs, PID files, lock files.
#pragma once

#include <sys/types.h>

#include <string>

namespace harness {

// The whole file, or "" when it cannot be read.
std::string read_text(const std::string& path);

// Replaces the file's content with text.
void write_text(const std::string& path, const std::string& text);

// A lock file's content naming pid, the way serial programs write it: ten
// columns and a newline.
std::string lock_file_content(pid_t pid);

}  // namespace harness
