/* A library the tests preload into the programs they run, to make the
 * system calls behind the file layer fail the way failing disks do. It is
 * driven by the environment:
 *
 *   CIPHRA_FAULT_READ_PATH   reads of a file whose path ends with this text...
 *   CIPHRA_FAULT_READ_FROM   ...fail with EIO from this offset on (a bad sector)
 *   CIPHRA_FAULT_FSYNC       when set, every fsync and fdatasync fails with EIO
 *   CIPHRA_FAULT_FDATASYNC   when set, every fdatasync fails with EIO (fsync
 *                            still works, as after Linux reported a failed
 *                            flush once)
 *   CIPHRA_FAULT_LOG         every file created (open with O_CREAT, mkstemp,
 *                            mkostemp) is logged there as "<mode in octal> <path>",
 *                            the mode as the file has it right after creation
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#define MOST_FDS 4096

static char faulty[MOST_FDS]; /* reads of this descriptor may fail */
/* The next definition of `name` (libc's, or a sanitizer's in front of it). */
#define NEXT(function, name)                                                                       \
    do {                                                                                           \
        void* found_ = dlsym(RTLD_NEXT, name);                                                     \
        memcpy(&(function), &found_, sizeof(function));                                            \
    } while (0)

static int EndsWith(const char* text, const char* end)
{
    const size_t n = strlen(text), m = strlen(end);
    return m > 0 && n >= m && strcmp(text + n - m, end) == 0;
}

static void LogCreated(int fd, const char* path)
{
    const char* log = getenv("CIPHRA_FAULT_LOG");
    struct stat info;
    if (log == NULL || fd < 0 || fstat(fd, &info) != 0)
        return;
    int (*realOpen)(const char*, int, ...);
    NEXT(realOpen, "open");
    const int out = realOpen(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (out < 0)
        return;
    char line[8192];
    const int n = snprintf(line, sizeof line, "%o %s\n", (unsigned)(info.st_mode & 07777), path);
    if (n > 0 && (size_t)n < sizeof line && write(out, line, (size_t)n) < 0) {
        /* nothing to do: the test sees the line missing */
    }
    close(out);
}

static int Opened(int fd, const char* path, int flags)
{
    if (fd >= 0 && fd < MOST_FDS) {
        const char* name = getenv("CIPHRA_FAULT_READ_PATH");
        faulty[fd] = name != NULL && EndsWith(path, name);
    }
    if (fd >= 0 && (flags & O_CREAT))
        LogCreated(fd, path);
    return fd;
}

static mode_t ModeArgument(int flags, va_list args)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(args, int) : 0;
}

int open(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    int (*real)(const char*, int, ...);
    NEXT(real, "open");
    return Opened(real(path, flags, mode), path, flags);
}

int open64(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    int (*real)(const char*, int, ...);
    NEXT(real, "open64");
    return Opened(real(path, flags, mode), path, flags);
}

int openat(int dir, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    int (*real)(int, const char*, int, ...);
    NEXT(real, "openat");
    return Opened(real(dir, path, flags, mode), path, flags);
}

int __open_2(const char* path, int flags)
{
    return open(path, flags);
}

int mkostemp(char* pattern, int flags)
{
    int (*real)(char*, int);
    NEXT(real, "mkostemp");
    return Opened(real(pattern, flags), pattern, O_CREAT);
}

int mkstemp(char* pattern)
{
    int (*real)(char*);
    NEXT(real, "mkstemp");
    return Opened(real(pattern), pattern, O_CREAT);
}

int close(int fd)
{
    if (fd >= 0 && fd < MOST_FDS)
        faulty[fd] = 0;
    int (*real)(int);
    NEXT(real, "close");
    return real(fd);
}

/* How many of `n` bytes a read at `offset` may fetch; -1 (with errno EIO)
 * when it starts in the bad part of a faulty file. */
static ssize_t Allowed(int fd, size_t n, off_t offset)
{
    if (fd < 0 || fd >= MOST_FDS || !faulty[fd])
        return (ssize_t)n;
    const char* from = getenv("CIPHRA_FAULT_READ_FROM");
    const long long bad = from != NULL ? atoll(from) : 0;
    if (offset >= bad) {
        errno = EIO;
        return -1;
    }
    return (long long)n < bad - offset ? (ssize_t)n : (ssize_t)(bad - offset);
}

ssize_t read(int fd, void* buffer, size_t n)
{
    const ssize_t allowed = Allowed(fd, n, lseek(fd, 0, SEEK_CUR));
    if (allowed < 0)
        return -1;
    ssize_t (*real)(int, void*, size_t);
    NEXT(real, "read");
    return real(fd, buffer, (size_t)allowed);
}

ssize_t pread(int fd, void* buffer, size_t n, off_t offset)
{
    const ssize_t allowed = Allowed(fd, n, offset);
    if (allowed < 0)
        return -1;
    ssize_t (*real)(int, void*, size_t, off_t);
    NEXT(real, "pread");
    return real(fd, buffer, (size_t)allowed, offset);
}

ssize_t pread64(int fd, void* buffer, size_t n, off_t offset)
{
    return pread(fd, buffer, n, offset);
}

static int SyncFault(void)
{
    if (getenv("CIPHRA_FAULT_FSYNC") != NULL) {
        errno = EIO;
        return 1;
    }
    return 0;
}

int fsync(int fd)
{
    if (SyncFault())
        return -1;
    int (*real)(int);
    NEXT(real, "fsync");
    return real(fd);
}

int fdatasync(int fd)
{
    if (SyncFault())
        return -1;
    if (getenv("CIPHRA_FAULT_FDATASYNC") != NULL) {
        errno = EIO;
        return -1;
    }
    int (*real)(int);
    NEXT(real, "fdatasync");
    return real(fd);
}
