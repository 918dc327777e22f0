// Preloaded into tavix by the write-failure drill where the machine allows no small or read-only
// file system. While the file "<TAVIX_DRILL_FAULTS>/erofs" exists, creating the temporary file of a
// state-file write fails as on a read-only folder; while "<TAVIX_DRILL_FAULTS>/enospc" exists, the
// temporary file takes half of the first write and then fails as on a full disk.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kMaxFd = 4096 };
// 1: a temporary state file, 2: one that has already taken its partial write.
static volatile char g_tracked[kMaxFd];

static int faultActive(const char* name) {
    const char* dir = getenv("TAVIX_DRILL_FAULTS");
    char path[4096];
    struct stat info;
    if (!dir || strlen(dir) + strlen(name) + 2 > sizeof path) {
        return 0;
    }
    strcpy(path, dir);
    strcat(path, "/");
    strcat(path, name);
    return stat(path, &info) == 0;
}

// dlsym returns an object pointer; POSIX guarantees it converts to a function pointer.
static void* next(const char* symbol) {
    return dlsym(RTLD_NEXT, symbol);
}

static int isStateTemporary(const char* name) {
    return strstr(name, "tavix.plist.tmp-") != NULL;
}

static int track(int fd) {
    if (fd >= 0 && fd < kMaxFd) {
        g_tracked[fd] = 1;
    }
    return fd;
}

typedef int (*OpenFunction)(const char*, int, ...);

static int openTemporary(OpenFunction real, const char* name, int flags, mode_t mode) {
    if (isStateTemporary(name) && faultActive("erofs")) {
        errno = EROFS;
        return -1;
    }
    const int fd = real(name, flags, mode);
    return isStateTemporary(name) ? track(fd) : fd;
}

// The temporary file is made with open(2), so that the kernel applies the umask.
int open(const char* name, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & O_CREAT) ? va_arg(args, mode_t) : 0;
    va_end(args);
    static OpenFunction real;
    if (!real) {
        *(void**)&real = next("open");
    }
    return openTemporary(real, name, flags, mode);
}

int open64(const char* name, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & O_CREAT) ? va_arg(args, mode_t) : 0;
    va_end(args);
    static OpenFunction real;
    if (!real) {
        *(void**)&real = next("open64");
    }
    return openTemporary(real, name, flags, mode);
}

ssize_t write(int fd, const void* data, size_t size) {
    static ssize_t (*real)(int, const void*, size_t);
    if (!real) {
        *(void**)&real = next("write");
    }
    if (fd >= 0 && fd < kMaxFd && g_tracked[fd] && faultActive("enospc")) {
        if (g_tracked[fd] == 1 && size > 1) {
            g_tracked[fd] = 2;
            return real(fd, data, size / 2);
        }
        errno = ENOSPC;
        return -1;
    }
    return real(fd, data, size);
}

int close(int fd) {
    static int (*real)(int);
    if (!real) {
        *(void**)&real = next("close");
    }
    if (fd >= 0 && fd < kMaxFd) {
        g_tracked[fd] = 0;
    }
    return real(fd);
}
