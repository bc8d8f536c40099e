// A destination that stalls, as a frozen network share or a stuck USB stick
// does: preloaded into the program under test, it makes every opening of a
// path below $TONEBRIDGE_TEST_STALL wait for ever. The file systems the tests
// can make never stall on their own.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {
bool stalls(const char* path) {
    const char* folder = std::getenv("TONEBRIDGE_TEST_STALL");
    return folder != nullptr && *folder != '\0' && path != nullptr &&
           std::strncmp(path, folder, std::strlen(folder)) == 0;
}

void stallForEver() {
    for (;;) {
        ::pause();
    }
}

mode_t modeOf(int flags, va_list arguments) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? mode_t(va_arg(arguments, int)) : 0;
}

template <typename Function> Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// No folder descriptor: the plain open calls.
constexpr int kNoFolder = -1000;

// The real function, reached once the path is known not to stall.
int forward(const char* name, int folder, const char* path, int flags, mode_t mode) {
    if (stalls(path)) {
        stallForEver();
    }
    if (folder == kNoFolder) {
        static const auto real = next<int (*)(const char*, int, ...)>("open");
        static const auto real64 = next<int (*)(const char*, int, ...)>("open64");
        return (std::strcmp(name, "open64") == 0 ? real64 : real)(path, flags, mode);
    }
    static const auto realAt = next<int (*)(int, const char*, int, ...)>("openat");
    static const auto realAt64 = next<int (*)(int, const char*, int, ...)>("openat64");
    return (std::strcmp(name, "openat64") == 0 ? realAt64 : realAt)(folder, path, flags, mode);
}
} // namespace

extern "C" {
int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    return forward("open", kNoFolder, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    return forward("open64", kNoFolder, path, flags, mode);
}

int openat(int folder, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    return forward("openat", folder, path, flags, mode);
}

int openat64(int folder, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    return forward("openat64", folder, path, flags, mode);
}
}
