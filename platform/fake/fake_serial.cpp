// The fake serial ports: named devices that may be absent, held by another
// program or unable to take their settings; bytes from the printer arrive at
// virtual times, and read time-outs move the virtual clock the way the
// platform's time-out rules say.
#include <algorithm>

#include "platform/common/mode_string.h"
#include "platform/common/read_timeouts.h"
#include "platform/fake/fake_state.h"

namespace fake {

namespace {

port_state& port(int number) { return state().ports.at(number); }

HANDLE handle_of(int number) { return reinterpret_cast<HANDLE>(first_port_handle + number); }

// The number in "\\.\COM<n>", or -1 for any other name.
int number_of(const std::string& name) {
    const std::string prefix = "\\\\.\\COM";
    if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size()) {
        return -1;
    }
    int number = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || number > 1000) {
            return -1;
        }
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

bool vanished(const port_state& p) { return state().now_us >= p.vanish_at_us; }

constexpr DWORD file_attribute_normal = 0x00000080;
constexpr DWORD file_flag_overlapped = 0x40000000;

// What a plain (not overlapped) ReadFile or WriteFile needs of its handle
// and arguments. A handle opened for overlapped I/O takes only overlapped
// calls; the count pointer may be null only for those.
port_state* plain_io_port(HANDLE handle, const void* count, DWORD access, const char* call) {
    port_state* p = port_of(handle);
    if (p == nullptr || vanished(*p)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (p->flags & file_flag_overlapped) {
        violation(std::string(call) + " without an OVERLAPPED record on a port opened for overlapped I/O");
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (count == nullptr) {
        violation(std::string(call) + " given no place for its count");
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if ((p->access & access) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return p;
}

// Line settings a serial driver takes: XON and XOFF must differ, transfers
// are binary, and the UART's framing rules hold (5 to 8 data bits; 5 with
// 1.5 stop bits only, 6 to 8 with 1 or 2).
bool driver_takes(const DCB& settings) {
    if (settings.XonChar == settings.XoffChar || !settings.fBinary) {
        return false;
    }
    if (settings.ByteSize < 5 || settings.ByteSize > 8 || settings.Parity > SPACEPARITY ||
        settings.StopBits > TWOSTOPBITS) {
        return false;
    }
    if (settings.ByteSize == 5) {
        return settings.StopBits != TWOSTOPBITS;
    }
    return settings.StopBits != ONE5STOPBITS;
}

}  // namespace

port_state* port_of(HANDLE handle, int* number) {
    const std::intptr_t value = reinterpret_cast<std::intptr_t>(handle);
    const auto found = state().ports.find(static_cast<int>(value - first_port_handle));
    if (value < first_port_handle || found == state().ports.end() || !found->second.open) {
        return nullptr;
    }
    if (number != nullptr) {
        *number = found->first;
    }
    return &found->second;
}

std::string port_name(int number) { return "\\\\.\\COM" + std::to_string(number); }

void add_port(int number, port_kind kind) { state().ports[number].kind = kind; }

void schedule_bytes(int number, std::uint64_t at_us, const std::string& bytes) {
    std::deque<timed_byte>& incoming = port(number).incoming;
    for (char byte : bytes) {
        incoming.push_back(timed_byte{at_us, byte});
    }
    std::stable_sort(incoming.begin(), incoming.end(),
                     [](const timed_byte& a, const timed_byte& b) { return a.at_us < b.at_us; });
}

void vanish_at(int number, std::uint64_t at_us) { port(number).vanish_at_us = at_us; }

std::string sent_bytes(int number) {
    std::string bytes;
    for (const port_write& write : port(number).writes) {
        bytes += write.bytes;
    }
    return bytes;
}

const std::vector<port_write>& port_writes(int number) { return port(number).writes; }
std::size_t unread_bytes(int number) { return port(number).incoming.size(); }
bool port_open(int number) { return port(number).open; }
int open_attempts(int number) { return port(number).open_attempts; }
const DCB& port_settings(int number) { return port(number).settings; }
const COMMTIMEOUTS& port_timeouts(int number) { return port(number).timeouts; }
DWORD port_access(int number) { return port(number).access; }
DWORD port_share_mode(int number) { return port(number).share_mode; }
DWORD port_disposition(int number) { return port(number).disposition; }
DWORD port_flags(int number) { return port(number).flags; }

}  // namespace fake

using fake::note;
using fake::state;

HANDLE CreateFileA(const char* lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   SECURITY_ATTRIBUTES* lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)lpSecurityAttributes;
    const std::string name = lpFileName;
    const int number = fake::number_of(name);
    const auto found = state().ports.find(number);
    // A communications device opens only as an existing device, for
    // exclusive access, without a template.
    if (dwShareMode != 0 || dwCreationDisposition != OPEN_EXISTING || hTemplateFile != nullptr) {
        note("CreateFileA " + name + " refused");
        fake::violation("CreateFileA of a port not as an exclusive existing device without a template");
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if ((dwFlagsAndAttributes & ~(fake::file_attribute_normal | fake::file_flag_overlapped)) != 0) {
        note("CreateFileA " + name + " refused");
        fake::violation("CreateFileA with flags the fake does not know");
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (number < 0 || found == state().ports.end()) {
        note("CreateFileA " + name + " absent");
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    fake::port_state& p = found->second;
    ++p.open_attempts;
    p.access = dwDesiredAccess;
    p.share_mode = dwShareMode;
    p.disposition = dwCreationDisposition;
    p.flags = dwFlagsAndAttributes;
    // Opened with share mode 0, a port is exclusive: held by another program
    // or already open here, it refuses.
    if (p.kind == fake::port_kind::held || p.open) {
        note("CreateFileA " + name + " held");
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    note("CreateFileA " + name + " opened");
    p.open = true;
    state().last_opened_port = number;
    return fake::handle_of(number);
}

BOOL BuildCommDCBA(const char* lpDef, DCB* lpDCB) {
    note(std::string("BuildCommDCBA ") + lpDef);
    const auto last = state().ports.find(state().last_opened_port);
    // The builder does not see the port; a device that refuses its settings
    // is modelled as the builder failing right after that device opened.
    if (last != state().ports.end() && last->second.kind == fake::port_kind::refuses_settings) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The builder changes only what the string names; no mode string names
    // binary mode, so the program must set it itself.
    if (lpDCB->DCBlength != sizeof(DCB) || !parse_mode_string(lpDef, lpDCB)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

BOOL SetCommState(HANDLE hFile, DCB* lpDCB) {
    note("SetCommState");
    fake::port_state* p = fake::port_of(hFile);
    if (p == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!fake::driver_takes(*lpDCB) || p->kind == fake::port_kind::refuses_state) {
        note("SetCommState refused");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    p->settings = *lpDCB;
    return TRUE;
}

BOOL SetCommTimeouts(HANDLE hFile, COMMTIMEOUTS* lpCommTimeouts) {
    note("SetCommTimeouts");
    fake::port_state* p = fake::port_of(hFile);
    if (p == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (p->kind == fake::port_kind::refuses_timeouts) {
        note("SetCommTimeouts refused");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    p->timeouts = *lpCommTimeouts;
    return TRUE;
}

// Reads follow the time-out rule the POSIX layer follows too, on the
// virtual clock.
BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              OVERLAPPED* lpOverlapped) {
    (void)lpOverlapped;
    note("ReadFile " + std::to_string(nNumberOfBytesToRead));
    fake::port_state* p = fake::plain_io_port(hFile, lpNumberOfBytesRead, GENERIC_READ, "ReadFile");
    if (p == nullptr) {
        if (lpNumberOfBytesRead != nullptr) {
            *lpNumberOfBytesRead = 0;
        }
        return FALSE;
    }
    const read_plan plan = plan_read(p->timeouts, nNumberOfBytesToRead);
    const std::uint64_t start = state().now_us;
    const std::uint64_t total_deadline = plan.immediate   ? start
                                         : plan.has_total ? start + fake::ms(plan.total_ms)
                                                          : UINT64_MAX;
    char* destination = static_cast<char*>(lpBuffer);
    DWORD count = 0;
    while (count < nNumberOfBytesToRead) {
        std::uint64_t deadline = total_deadline;
        if (count > 0 && plan.has_interval) {
            deadline = std::min(deadline, state().now_us + fake::ms(plan.interval_ms));
        }
        const bool nothing_coming = p->incoming.empty() || fake::vanished(*p);
        if (nothing_coming && deadline == UINT64_MAX) {
            // No time-out: on Windows this read waits for bytes that never come.
            fake::violation("ReadFile would wait for ever");
            break;
        }
        const std::uint64_t arrival =
            nothing_coming ? UINT64_MAX : std::max(p->incoming.front().at_us, state().now_us);
        if (arrival > deadline) {
            fake::advance_to(deadline);
            break;
        }
        fake::advance_to(arrival);
        destination[count++] = p->incoming.front().byte;
        p->incoming.pop_front();
        if (plan.any_byte_ends) {
            break;
        }
    }
    *lpNumberOfBytesRead = count;
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite, DWORD* lpNumberOfBytesWritten,
               OVERLAPPED* lpOverlapped) {
    (void)lpOverlapped;
    note("WriteFile " + std::to_string(nNumberOfBytesToWrite));
    fake::port_state* p = fake::plain_io_port(hFile, lpNumberOfBytesWritten, GENERIC_WRITE, "WriteFile");
    if (p == nullptr) {
        if (lpNumberOfBytesWritten != nullptr) {
            *lpNumberOfBytesWritten = 0;
        }
        return FALSE;
    }
    p->writes.push_back(fake::port_write{
        state().now_us, std::string(static_cast<const char*>(lpBuffer), nNumberOfBytesToWrite)});
    *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
    return TRUE;
}
