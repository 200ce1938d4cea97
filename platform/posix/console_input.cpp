// GetNumberOfConsoleInputEvents and ReadConsoleInputA on standard input.
#include "platform/posix/console_input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/clock.h"
#include "platform/posix/console_session.h"
#include "platform/posix/handles.h"
#include "platform/posix/key_decoder.h"
#include "platform/posix/signals.h"

namespace zcal_posix {

namespace {

constexpr std::size_t queue_capacity = 256;
constexpr std::size_t read_chunk = 128;

struct input_state {
    bool ready = false;
    bool ended = false;
    int seen_window_changes = 0;
    key_decoder decoder;
    INPUT_RECORD queue[queue_capacity];
    std::size_t head = 0;
    std::size_t count = 0;
};

input_state input;

void prepare() {
    if (input.ready) {
        return;
    }
    console_start();
    // seen_window_changes stays 0: a resize between the start of the session
    // and the first look at the input is a resize all the same.
    input.ready = true;
    key_decoder_init(&input.decoder, console_uses_utf8());
    // Input that is no terminal is no console: there is nothing to read key
    // presses from, and polling it would never end.
    input.ended = !console_input_is_terminal();
}

std::size_t room() { return queue_capacity - input.count; }

void push(const INPUT_RECORD* records, std::size_t count) {
    for (std::size_t i = 0; i < count && input.count < queue_capacity; ++i) {
        input.queue[(input.head + input.count) % queue_capacity] = records[i];
        ++input.count;
    }
}

INPUT_RECORD pop() {
    const INPUT_RECORD record = input.queue[input.head];
    input.head = (input.head + 1) % queue_capacity;
    --input.count;
    return record;
}

void decode(const unsigned char* bytes, std::size_t length) {
    INPUT_RECORD records[key_decoder_max_records(read_chunk)];
    push(records, key_decoder_feed(&input.decoder, bytes, length, monotonic_ms(), records,
                                   key_decoder_max_records(length)));
}

void expire_pending_keys() {
    INPUT_RECORD records[key_decoder_max_records(0)];
    push(records, key_decoder_expire(&input.decoder, monotonic_ms(), records, key_decoder_max_records(0)));
}

void end_input() {
    if (input.ended) {
        return;
    }
    input.ended = true;
    INPUT_RECORD records[key_decoder_max_records(0)];
    push(records, key_decoder_finish(&input.decoder, records, key_decoder_max_records(0)));
}

// A resize becomes a window-size record, and the screen learns its size.
void note_window_change() {
    const int changes = window_change_count();
    if (changes == input.seen_window_changes || room() == 0) {
        return;
    }
    input.seen_window_changes = changes;
    int columns = 0;
    int rows = 0;
    if (!terminal_size(STDOUT_FILENO, &columns, &rows) && !terminal_size(STDIN_FILENO, &columns, &rows)) {
        return;
    }
    // A terminal that shrank lost what it cut off; growing back does not
    // bring it back, so the whole screen is drawn again from the model.
    renderer_set_size(console_screen(), columns, rows);
    if (!console_output_closed()) {
        renderer_repaint(console_screen());
    }
    INPUT_RECORD record;
    std::memset(&record, 0, sizeof record);
    record.EventType = WINDOW_BUFFER_SIZE_EVENT;
    record.Event.WindowBufferSizeEvent.dwSize = COORD{static_cast<SHORT>(columns), static_cast<SHORT>(rows)};
    push(&record, 1);
}

// Reads what standard input has within timeout_ms (-1: until something
// comes), into the queue. A pending escape shortens the wait to its
// time-out, so a lone ESC comes out on time.
void pump(int timeout_ms) {
    prepare();
    note_window_change();
    expire_pending_keys();
    // Room for every record the bytes could make: what does not fit waits in
    // the terminal's own buffer.
    if (input.ended || room() < key_decoder_max_records(1)) {
        return;
    }
    const std::uint64_t deadline = key_decoder_deadline(&input.decoder);
    if (deadline != UINT64_MAX) {
        const std::uint64_t now = monotonic_ms();
        const int until_deadline = deadline > now ? static_cast<int>(deadline - now) : 0;
        if (timeout_ms < 0 || until_deadline < timeout_ms) {
            timeout_ms = until_deadline;
        }
    }
    struct pollfd ready = {STDIN_FILENO, POLLIN, 0};
    const int polled = poll(&ready, 1, timeout_ms);
    if (polled < 0) {
        if (errno != EINTR && errno != EAGAIN) {
            end_input();
        }
        note_window_change();
        return;
    }
    if (polled > 0) {
        if (ready.revents & POLLNVAL) {
            end_input();
        } else if (ready.revents & POLLIN) {
            unsigned char bytes[read_chunk];
            std::size_t wanted = room() - 1;
            if (wanted > read_chunk) {
                wanted = read_chunk;
            }
            const ssize_t got = read(STDIN_FILENO, bytes, wanted);
            if (got > 0) {
                decode(bytes, static_cast<std::size_t>(got));
            } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                // Closed, or the terminal hung up (EIO).
                end_input();
            }
        } else if (ready.revents & (POLLHUP | POLLERR)) {
            end_input();
        }
    }
    expire_pending_keys();
}

bool valid_input(HANDLE handle) {
    if (handle != console_in_handle || console_input_closed()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

}  // namespace

void wait_for_key_press() {
    prepare();
    console_flush();
    for (;;) {
        while (input.count > 0) {
            const INPUT_RECORD record = pop();
            if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
                return;
            }
        }
        if (input.ended) {
            return;
        }
        console_flush();
        pump(-1);
    }
}

bool drop_input_for(int timeout_ms) {
    prepare();
    pump(timeout_ms);
    input.head = 0;
    input.count = 0;
    if (input.ended) {
        return false;
    }
    key_decoder_init(&input.decoder, console_uses_utf8());
    return true;
}

}  // namespace zcal_posix

using namespace zcal_posix;

BOOL GetNumberOfConsoleInputEvents(HANDLE hConsoleInput, DWORD* lpNumberOfEvents) {
    if (!valid_input(hConsoleInput)) {
        return FALSE;
    }
    if (lpNumberOfEvents == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The program is about to look for input and, finding none, to wait.
    console_flush();
    pump(0);
    if (input.count == 0 && input.ended) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    *lpNumberOfEvents = static_cast<DWORD>(input.count);
    return TRUE;
}

BOOL ReadConsoleInputA(HANDLE hConsoleInput, INPUT_RECORD* lpBuffer, DWORD nLength,
                       DWORD* lpNumberOfEventsRead) {
    if (!valid_input(hConsoleInput)) {
        return FALSE;
    }
    if (lpBuffer == nullptr || lpNumberOfEventsRead == nullptr || nLength == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    console_flush();
    // Like the console's own call, it waits for a record when none is there.
    pump(0);
    while (input.count == 0 && !input.ended) {
        console_flush();
        pump(-1);
    }
    if (input.count == 0) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    DWORD count = 0;
    while (count < nLength && input.count > 0) {
        lpBuffer[count++] = pop();
    }
    *lpNumberOfEventsRead = count;
    return TRUE;
}
