// A fixed buffer for what goes to the terminal, so one screen update leaves
// in one write(). It hands its bytes to a sink when it is full or flushed.
#pragma once

#include <cstddef>

namespace zcal_posix {

using output_sink = void (*)(void* context, const char* bytes, std::size_t length);

constexpr std::size_t output_buffer_capacity = 32768;

struct output_buffer {
    char bytes[output_buffer_capacity];
    std::size_t used;
    output_sink sink;
    void* context;
};

void output_init(output_buffer* buffer, output_sink sink, void* context);
void output_append(output_buffer* buffer, const char* bytes, std::size_t length);
void output_append_text(output_buffer* buffer, const char* text);
// "\x1b[" followed by the numbers joined by ';' and the final character.
void output_append_csi(output_buffer* buffer, const int* numbers, int count, char final_char);
void output_flush(output_buffer* buffer);

// Writes a decimal number into text without the C library (it is also used
// by signal handlers); gives the number of characters. text holds 12.
std::size_t format_decimal(int number, char* text);

}  // namespace zcal_posix
