// The indicator that moves down its column with each step.
#pragma once

#include "platform/platform.h"

// Draws the next bar and point of the indicator and moves indicator_row on.
void advance_indicator(HANDLE console_out, SHORT* indicator_row);
