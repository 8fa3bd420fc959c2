// Defined in the test program, this ioctl comes before the C library's for
// the shared libraries too (the serial port library among them).

#include "support/ModemLineShim.h"

#include <cstdarg>
#include <cstdlib>

#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace testmodem {

TModemLines &Lines()
{
    static TModemLines lines;
    return lines;
}

} // namespace testmodem

namespace {

using TIoctl = int (*)(int, unsigned long, ...);

bool IsTheModemPty(int fd)
{
    const char *path = std::getenv(testmodem::kPtyVariable);
    if (path == nullptr || *path == '\0')
        return false;
    struct stat named
    {};
    struct stat open
    {};
    return ::stat(path, &named) == 0 && ::fstat(fd, &open) == 0 && S_ISCHR(open.st_mode) &&
           open.st_rdev == named.st_rdev;
}

void Drive(int bits, bool on)
{
    testmodem::TModemLines &lines = testmodem::Lines();
    if (bits & TIOCM_DTR)
        lines.Dtr = on;
    if (bits & TIOCM_RTS)
        lines.Rts = on;
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list args;
    va_start(args, request);
    void *argument = va_arg(args, void *);
    va_end(args);

    const bool modemCall = request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
    if (modemCall && argument != nullptr && IsTheModemPty(fd)) {
        testmodem::TModemLines &lines = testmodem::Lines();
        int &bits = *static_cast<int *>(argument);
        switch (request) {
        case TIOCMGET:
            bits = (lines.Cts ? TIOCM_CTS : 0) | (lines.Dsr ? TIOCM_DSR : 0) | (lines.Carrier ? TIOCM_CAR : 0) |
                   (lines.Dtr ? TIOCM_DTR : 0) | (lines.Rts ? TIOCM_RTS : 0);
            break;
        case TIOCMSET:
            Drive(TIOCM_DTR | TIOCM_RTS, false);
            Drive(bits, true);
            break;
        case TIOCMBIS: Drive(bits, true); break;
        default: Drive(bits, false); break;
        }
        return 0;
    }
    static const auto system = reinterpret_cast<TIoctl>(::dlsym(RTLD_NEXT, "ioctl"));
    return system(fd, request, argument);
}
