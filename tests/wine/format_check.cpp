// format_check: the move command as the Windows build formats it.
//
// The heights are printed by the C runtime the .exe is linked with, and the
// runtime Windows ships (msvcrt.dll) rounds an exact tie upwards: 200.0625
// would go to the printer as Z200.063. This runs the program's own
// format_move_command on a table of heights under that runtime and prints one
// line per case that comes out wrong; exits with 1 if any did.
#include <cstdio>
#include <cstring>

#include "app/calibration.h"

namespace {

struct format_case {
    float z_height;
    const char* line;
};

// Exact ties round to the even digit; everything else to nearest from the
// exact binary value.
constexpr format_case cases[] = {
    {200.0f, "G1 F600 Z200.000\n"},
    {199.99f, "G1 F600 Z199.990\n"},  // 199.9900055, just above
    {200.919f, "G1 F600 Z200.919\n"},
    {0.0625f, "G1 F600 Z0.062\n"},      // tie, down to even
    {200.0625f, "G1 F600 Z200.062\n"},  // tie, down to even
    {0.3125f, "G1 F600 Z0.312\n"},      // tie, down to even
    {0.1875f, "G1 F600 Z0.188\n"},      // tie, up to even
    {-0.0625f, "G1 F600 Z-0.062\n"},
    {-1.0f, "G1 F600 Z-1.000\n"},
    {1000000.0f, "G1 F600 Z1000000.000\n"},
    {-3.4028235e38f, "G1 F600 Z-340282346638528859811704183484516925440.000\n"},
};

}  // namespace

int main() {
    int wrong = 0;
    for (const format_case& c : cases) {
        char text[text_buffer_size];
        format_move_command(text, c.z_height);
        if (std::strcmp(text, c.line) != 0) {
            std::printf("format_check: %.9g gave \"%.*s\\n\", expected \"%.*s\\n\"\n",
                        static_cast<double>(c.z_height), static_cast<int>(std::strlen(text)) - 1, text,
                        static_cast<int>(std::strlen(c.line)) - 1, c.line);
            ++wrong;
        }
    }
    std::printf("format_check: %d of %d heights formatted wrong\n", wrong,
                static_cast<int>(sizeof cases / sizeof cases[0]));
    return wrong == 0 ? 0 : 1;
}
