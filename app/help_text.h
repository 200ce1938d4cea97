// What zcal prints when it is not calibrating: the help text and the version
// on standard output, a usage error as one line on standard error.
#pragma once

#include "app/command_line.h"

void print_help();
void print_version();
void print_usage_error(const command_line& command);
