#include "platform/posix/output_buffer.h"

#include <cstring>

namespace zcal_posix {

void output_init(output_buffer* buffer, output_sink sink, void* context) {
    buffer->used = 0;
    buffer->sink = sink;
    buffer->context = context;
}

void output_flush(output_buffer* buffer) {
    if (buffer->used > 0 && buffer->sink != nullptr) {
        buffer->sink(buffer->context, buffer->bytes, buffer->used);
    }
    buffer->used = 0;
}

void output_append(output_buffer* buffer, const char* bytes, std::size_t length) {
    while (length > 0) {
        if (buffer->used == output_buffer_capacity) {
            output_flush(buffer);
        }
        std::size_t room = output_buffer_capacity - buffer->used;
        const std::size_t part = length < room ? length : room;
        std::memcpy(buffer->bytes + buffer->used, bytes, part);
        buffer->used += part;
        bytes += part;
        length -= part;
    }
}

void output_append_text(output_buffer* buffer, const char* text) {
    output_append(buffer, text, std::strlen(text));
}

std::size_t format_decimal(int number, char* text) {
    char reversed[12];
    std::size_t count = 0;
    unsigned magnitude = number < 0 ? 0u - static_cast<unsigned>(number) : static_cast<unsigned>(number);
    do {
        reversed[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    std::size_t length = 0;
    if (number < 0) {
        text[length++] = '-';
    }
    while (count > 0) {
        text[length++] = reversed[--count];
    }
    return length;
}

void output_append_csi(output_buffer* buffer, const int* numbers, int count, char final_char) {
    char text[8 + 4 * 13];
    std::size_t length = 0;
    text[length++] = '\x1b';
    text[length++] = '[';
    for (int i = 0; i < count && i < 4; ++i) {
        if (i > 0) {
            text[length++] = ';';
        }
        length += format_decimal(numbers[i], text + length);
    }
    text[length++] = final_char;
    output_append(buffer, text, length);
}

}  // namespace zcal_posix
