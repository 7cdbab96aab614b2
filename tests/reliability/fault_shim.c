/* A library the tests preload into the programs they run, to make the
 * system calls behind the file layer fail the way failing disks do, and to
 * record what the programs do to their files. It is driven by the
 * environment:
 *
 *   CIPHRA_FAULT_READ_PATH   reads of a file whose path ends with this text...
 *   CIPHRA_FAULT_READ_FROM   ...fail with EIO from this offset on (a bad sector)
 *   CIPHRA_FAULT_FSYNC       when set, every fsync, fdatasync, syncfs and
 *                            sync_file_range fails with EIO
 *   CIPHRA_FAULT_FDATASYNC   when set, every fdatasync and sync_file_range
 *                            fails with EIO (fsync still works, as after
 *                            Linux reported a failed write-back once)
 *   CIPHRA_FAULT_LOG         a file to which one line is appended per call
 *                            below (fields separated by one space, the path
 *                            last; paths are absolute, read back from
 *                            /proc/self/fd where the call gave a descriptor):
 *
 *     create <flags> <mode> <path>
 *         open, open64, openat, openat64, __open_2 and the like with O_CREAT,
 *         creat, and fopen for writing or appending, after the call. <flags>
 *         as "O_RDWR|O_CREAT|O_EXCL|O_NOFOLLOW|O_CLOEXEC" (those of O_CREAT,
 *         O_EXCL, O_NOFOLLOW, O_TRUNC, O_APPEND, O_CLOEXEC that are set);
 *         <mode> the permission bits the file has right after the call, in
 *         octal, or "error:<errno>" when the call failed.
 *     mkstemp <mode> <path> | mkostemp <mode> <path>
 *         the file those created (they create exclusively by design).
 *     write <offset> <length> <bytes> <path>
 *         write, pwrite, pwrite64, writev and pwritev to a regular file,
 *         after the call, for the bytes it wrote: <bytes> is "zeros" (all
 *         0x00), "ones" (all 0xFF) or "mixed".
 *     fsync <size> <bytes> <hash> <path> | fdatasync <size> <bytes> <hash> <path>
 *         as the flush starts, so every write logged before it had returned
 *         before the flush began: the file's size and what it holds then
 *         ("zeros", "ones", "mixed", "none" when empty, "unreadable"), with
 *         its 64-bit FNV-1a hash in hex; "- folder -" for a folder.
 *     syncfs - folder - <path>
 *         a flush of the whole file system, with the folder it was called on.
 *     sync_file_range <size> <bytes> <hash> <path>
 *         a wait for the write-back of a whole file (offset 0, length 0,
 *         with SYNC_FILE_RANGE_WAIT_AFTER); the calls that only start the
 *         write-back of a range are not logged.
 *     fsync-failed <errno> <path> | fdatasync-failed <errno> <path> | ...
 *         after a flush that failed (injected or real).
 *     unlink <path>
 *         unlink, unlinkat (of a file) and remove, as the call starts.
 *     rename <from> -> <to>
 *         renameat and renameat2 that succeeded, after the call.
 *
 *   The log's own file is opened and written through the real functions,
 *   so it never appears in itself.
 *
 * Everything runs on the stack with system calls only, apart from the first
 * lookup of each real function (done when the library loads), so that the
 * calls stay usable in a signal handler, as the programs' interrupt
 * handlers use unlink.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#define MOST_FDS 4096

static char faulty[MOST_FDS]; /* reads of this descriptor may fail */

/* The next definitions (libc's, or a sanitizer's in front of them) of the
 * functions this library stands in for, looked up once. */
enum Real {
    OPEN,
    OPEN64,
    OPENAT,
    OPENAT64,
    CREAT,
    CREAT64,
    FOPEN,
    FOPEN64,
    MKOSTEMP,
    MKSTEMP,
    CLOSE,
    READ,
    PREAD,
    WRITE,
    PWRITE,
    WRITEV,
    PWRITEV,
    FSYNC,
    FDATASYNC,
    SYNCFS,
    SYNC_FILE_RANGE,
    UNLINK,
    UNLINKAT,
    REMOVE,
    RENAMEAT,
    RENAMEAT2,
    REAL_COUNT
};

static const char* const realNames[REAL_COUNT] = {
    "open",    "open64",   "openat",  "openat64", "creat",     "creat64", "fopen",
    "fopen64", "mkostemp", "mkstemp", "close",    "read",      "pread",   "write",
    "pwrite",  "writev",   "pwritev", "fsync",    "fdatasync", "syncfs",  "sync_file_range",
    "unlink",  "unlinkat", "remove",  "renameat", "renameat2"};

static void* realSlots[REAL_COUNT];

static void* Real(enum Real which)
{
    void* found = __atomic_load_n(&realSlots[which], __ATOMIC_ACQUIRE);
    if (found == NULL) {
        found = dlsym(RTLD_NEXT, realNames[which]);
        __atomic_store_n(&realSlots[which], found, __ATOMIC_RELEASE);
    }
    return found;
}

__attribute__((constructor)) static void LookUpRealFunctions(void)
{
    for (int which = 0; which < REAL_COUNT; ++which)
        Real((enum Real)which);
}

#define NEXT(function, which)                                                                      \
    do {                                                                                           \
        void* found_ = Real(which);                                                                \
        memcpy(&(function), &found_, sizeof(function));                                            \
    } while (0)

static int EndsWith(const char* text, const char* end)
{
    const size_t n = strlen(text), m = strlen(end);
    return m > 0 && n >= m && strcmp(text + n - m, end) == 0;
}

/* ---- One line of the log, built on the stack ---- */

struct Line {
    char text[8192];
    size_t length;
};

static void Put(struct Line* line, const char* text)
{
    for (; *text != '\0' && line->length < sizeof line->text - 1; ++text)
        line->text[line->length++] = *text;
}

static void PutNumber(struct Line* line, unsigned long long value, unsigned base)
{
    char digits[32];
    size_t n = 0;
    do {
        digits[n++] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0);
    char text[33];
    for (size_t i = 0; i < n; ++i)
        text[i] = digits[n - 1 - i];
    text[n] = '\0';
    Put(line, text);
}

static const char* LogPath(void)
{
    return getenv("CIPHRA_FAULT_LOG");
}

/* Appends the line, ended by a newline, to the log with one write. */
static void Emit(struct Line* line)
{
    const char* log = LogPath();
    if (log == NULL)
        return;
    int (*realOpen)(const char*, int, ...);
    ssize_t (*realWrite)(int, const void*, size_t);
    int (*realClose)(int);
    NEXT(realOpen, OPEN);
    NEXT(realWrite, WRITE);
    NEXT(realClose, CLOSE);
    line->text[line->length++] = '\n';
    const int out = realOpen(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (out < 0)
        return;
    if (realWrite(out, line->text, line->length) < 0) {
        /* nothing to do: the test sees the line missing */
    }
    realClose(out);
}

/* "/proc/self/fd/<fd>" into `link` (64 bytes). */
static void FdLink(int fd, char* link)
{
    struct Line text = {.length = 0};
    Put(&text, "/proc/self/fd/");
    PutNumber(&text, (unsigned long long)fd, 10);
    memcpy(link, text.text, text.length);
    link[text.length] = '\0';
}

/* The path `fd` was opened under, from /proc/self/fd. */
static int PathOfFd(int fd, char* path, size_t size)
{
    char link[64];
    FdLink(fd, link);
    const ssize_t n = readlink(link, path, size - 1);
    if (n < 0)
        return -1;
    path[n] = '\0';
    return 0;
}

/* `path` as the call would find it: relative to `dir` (AT_FDCWD: the
 * working folder) unless it is absolute. */
static void PutPathAt(struct Line* line, int dir, const char* path)
{
    if (path[0] != '/') {
        char base[4096];
        if (dir == AT_FDCWD ? getcwd(base, sizeof base) == NULL
                            : PathOfFd(dir, base, sizeof base) != 0) {
            Put(line, "?");
        } else {
            Put(line, base);
        }
        Put(line, "/");
    }
    Put(line, path);
}

/* The descriptor's path when it has one, else `path` made absolute. */
static void PutOpenedPath(struct Line* line, int fd, int dir, const char* path)
{
    char opened[4096];
    if (fd >= 0 && PathOfFd(fd, opened, sizeof opened) == 0)
        Put(line, opened);
    else
        PutPathAt(line, dir, path);
}

static void PutFlags(struct Line* line, int flags)
{
    const int access = flags & O_ACCMODE;
    Put(line, access == O_WRONLY ? "O_WRONLY" : access == O_RDWR ? "O_RDWR" : "O_RDONLY");
    static const struct {
        int Flag;
        const char* Name;
    } names[] = {{O_CREAT, "|O_CREAT"}, {O_EXCL, "|O_EXCL"},     {O_NOFOLLOW, "|O_NOFOLLOW"},
                 {O_TRUNC, "|O_TRUNC"}, {O_APPEND, "|O_APPEND"}, {O_CLOEXEC, "|O_CLOEXEC"}};
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
        if (flags & names[i].Flag)
            Put(line, names[i].Name);
    }
}

static void PutMode(struct Line* line, int fd, int error)
{
    struct stat info;
    if (fd < 0) {
        Put(line, "error:");
        PutNumber(line, (unsigned long long)error, 10);
    } else if (fstat(fd, &info) != 0) {
        Put(line, "?");
    } else {
        PutNumber(line, info.st_mode & 07777, 8);
    }
}

/* ---- Files created ---- */

static void LogCreate(const char* call, int fd, int error, int dir, const char* path, int flags)
{
    if (LogPath() == NULL)
        return;
    struct Line line = {.length = 0};
    Put(&line, call);
    Put(&line, " ");
    if (strcmp(call, "create") == 0) {
        PutFlags(&line, flags);
        Put(&line, " ");
    }
    PutMode(&line, fd, error);
    Put(&line, " ");
    PutOpenedPath(&line, fd, dir, path);
    Emit(&line);
}

static int Opened(int fd, int dir, const char* path, int flags)
{
    const int error = errno;
    if (fd >= 0 && fd < MOST_FDS) {
        const char* name = getenv("CIPHRA_FAULT_READ_PATH");
        faulty[fd] = name != NULL && EndsWith(path, name);
    }
    if (flags & O_CREAT)
        LogCreate("create", fd, error, dir, path, flags);
    errno = error;
    return fd;
}

static mode_t ModeArgument(int flags, va_list args)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(args, int) : 0;
}

static int OpenThrough(enum Real which, int dir, const char* path, int flags, mode_t mode)
{
    if (which == OPENAT || which == OPENAT64) {
        int (*real)(int, const char*, int, ...);
        NEXT(real, which);
        return Opened(real(dir, path, flags, mode), dir, path, flags);
    }
    int (*real)(const char*, int, ...);
    NEXT(real, which);
    return Opened(real(path, flags, mode), AT_FDCWD, path, flags);
}

int open(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return OpenThrough(OPEN, AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return OpenThrough(OPEN64, AT_FDCWD, path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return OpenThrough(OPENAT, dir, path, flags, mode);
}

int openat64(int dir, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return OpenThrough(OPENAT64, dir, path, flags, mode);
}

/* The checked forms a fortified build calls; with O_CREAT they are never
 * used (the mode would be missing), so they pass on without one. */
int __open_2(const char* path, int flags)
{
    return open(path, flags);
}

int __open64_2(const char* path, int flags)
{
    return open64(path, flags);
}

int __openat_2(int dir, const char* path, int flags)
{
    return openat(dir, path, flags);
}

int __openat64_2(int dir, const char* path, int flags)
{
    return openat64(dir, path, flags);
}

int creat(const char* path, mode_t mode)
{
    return OpenThrough(OPEN, AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC, mode);
}

int creat64(const char* path, mode_t mode)
{
    return OpenThrough(OPEN64, AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC, mode);
}

/* The open flags an fopen mode stands for. */
static int FopenFlags(const char* mode)
{
    int flags = mode[0] == 'r' ? 0 : O_CREAT | (mode[0] == 'w' ? O_TRUNC : O_APPEND);
    int plus = 0;
    for (const char* c = mode + 1; *c != '\0' && *c != ','; ++c) {
        plus |= *c == '+';
        flags |= *c == 'x' ? O_EXCL : *c == 'e' ? O_CLOEXEC : 0;
    }
    return flags | (plus ? O_RDWR : mode[0] == 'r' ? O_RDONLY : O_WRONLY);
}

static FILE* FopenThrough(enum Real which, const char* path, const char* mode)
{
    FILE* (*real)(const char*, const char*);
    NEXT(real, which);
    FILE* file = real(path, mode);
    const int error = errno;
    const int flags = FopenFlags(mode);
    if (flags & O_CREAT)
        LogCreate("create", file != NULL ? fileno(file) : -1, error, AT_FDCWD, path, flags);
    errno = error;
    return file;
}

FILE* fopen(const char* path, const char* mode)
{
    return FopenThrough(FOPEN, path, mode);
}

FILE* fopen64(const char* path, const char* mode)
{
    return FopenThrough(FOPEN64, path, mode);
}

int mkostemp(char* pattern, int flags)
{
    int (*real)(char*, int);
    NEXT(real, MKOSTEMP);
    const int fd = real(pattern, flags);
    const int error = errno;
    if (fd >= 0)
        LogCreate("mkostemp", fd, error, AT_FDCWD, pattern, O_CREAT);
    errno = error;
    return fd;
}

int mkstemp(char* pattern)
{
    int (*real)(char*);
    NEXT(real, MKSTEMP);
    const int fd = real(pattern);
    const int error = errno;
    if (fd >= 0)
        LogCreate("mkstemp", fd, error, AT_FDCWD, pattern, O_CREAT);
    errno = error;
    return fd;
}

int close(int fd)
{
    if (fd >= 0 && fd < MOST_FDS)
        faulty[fd] = 0;
    int (*real)(int);
    NEXT(real, CLOSE);
    return real(fd);
}

/* ---- Reads that fail ---- */

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
    NEXT(real, READ);
    return real(fd, buffer, (size_t)allowed);
}

ssize_t pread(int fd, void* buffer, size_t n, off_t offset)
{
    const ssize_t allowed = Allowed(fd, n, offset);
    if (allowed < 0)
        return -1;
    ssize_t (*real)(int, void*, size_t, off_t);
    NEXT(real, PREAD);
    return real(fd, buffer, (size_t)allowed, offset);
}

ssize_t pread64(int fd, void* buffer, size_t n, off_t offset)
{
    return pread(fd, buffer, n, offset);
}

/* ---- Writes, and what the flushes find in the file ---- */

enum Bytes { NO_BYTES, ZEROS, ONES, MIXED };

static enum Bytes Classify(enum Bytes so_far, const unsigned char* bytes, size_t n)
{
    for (size_t i = 0; i < n && so_far != MIXED; ++i) {
        const enum Bytes kind = bytes[i] == 0x00 ? ZEROS : bytes[i] == 0xFF ? ONES : MIXED;
        so_far = so_far == NO_BYTES || so_far == kind ? kind : MIXED;
    }
    return so_far;
}

static const char* BytesName(enum Bytes kind)
{
    static const char* const names[] = {"none", "zeros", "ones", "mixed"};
    return names[kind];
}

static int IsRegularFile(int fd)
{
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

/* Logs a write of `written` bytes, from the `count` buffers, that ended at
 * the descriptor's position (`end` < 0) or at `end`. */
static void LogWrite(int fd, const struct iovec* buffers, int count, ssize_t written, off_t end)
{
    if (LogPath() == NULL || written <= 0 || !IsRegularFile(fd))
        return;
    if (end < 0)
        end = lseek(fd, 0, SEEK_CUR);
    enum Bytes kind = NO_BYTES;
    size_t left = (size_t)written;
    for (int i = 0; i < count && left > 0; ++i) {
        const size_t n = buffers[i].iov_len < left ? buffers[i].iov_len : left;
        kind = Classify(kind, buffers[i].iov_base, n);
        left -= n;
    }
    struct Line line = {.length = 0};
    Put(&line, "write ");
    PutNumber(&line, (unsigned long long)(end - written), 10);
    Put(&line, " ");
    PutNumber(&line, (unsigned long long)written, 10);
    Put(&line, " ");
    Put(&line, BytesName(kind));
    Put(&line, " ");
    PutOpenedPath(&line, fd, AT_FDCWD, "?");
    Emit(&line);
}

ssize_t write(int fd, const void* buffer, size_t n)
{
    ssize_t (*real)(int, const void*, size_t);
    NEXT(real, WRITE);
    const ssize_t written = real(fd, buffer, n);
    const int error = errno;
    const struct iovec one = {(void*)buffer, n};
    LogWrite(fd, &one, 1, written, -1);
    errno = error;
    return written;
}

ssize_t pwrite(int fd, const void* buffer, size_t n, off_t offset)
{
    ssize_t (*real)(int, const void*, size_t, off_t);
    NEXT(real, PWRITE);
    const ssize_t written = real(fd, buffer, n, offset);
    const int error = errno;
    const struct iovec one = {(void*)buffer, n};
    LogWrite(fd, &one, 1, written, offset + (written > 0 ? written : 0));
    errno = error;
    return written;
}

ssize_t pwrite64(int fd, const void* buffer, size_t n, off_t offset)
{
    return pwrite(fd, buffer, n, offset);
}

ssize_t writev(int fd, const struct iovec* buffers, int count)
{
    ssize_t (*real)(int, const struct iovec*, int);
    NEXT(real, WRITEV);
    const ssize_t written = real(fd, buffers, count);
    const int error = errno;
    LogWrite(fd, buffers, count, written, -1);
    errno = error;
    return written;
}

ssize_t pwritev(int fd, const struct iovec* buffers, int count, off_t offset)
{
    ssize_t (*real)(int, const struct iovec*, int, off_t);
    NEXT(real, PWRITEV);
    const ssize_t written = real(fd, buffers, count, offset);
    const int error = errno;
    LogWrite(fd, buffers, count, written, offset + (written > 0 ? written : 0));
    errno = error;
    return written;
}

/* Logs a flush as it starts, with what the file holds: read through a
 * descriptor of its own, so that the program's position stays. */
static void LogSync(const char* call, int fd)
{
    if (LogPath() == NULL)
        return;
    struct Line line = {.length = 0};
    Put(&line, call);
    Put(&line, " ");
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        Put(&line, "- folder - ");
    } else {
        char link[64];
        int (*realOpen)(const char*, int, ...);
        ssize_t (*realPread)(int, void*, size_t, off_t);
        int (*realClose)(int);
        NEXT(realOpen, OPEN);
        NEXT(realPread, PREAD);
        NEXT(realClose, CLOSE);
        enum Bytes kind = NO_BYTES;
        uint64_t hash = 14695981039346656037ULL;
        off_t size = 0;
        int readable = 0;
        FdLink(fd, link);
        const int in = realOpen(link, O_RDONLY | O_CLOEXEC);
        if (in >= 0) {
            unsigned char piece[65536];
            ssize_t n = 0;
            while ((n = realPread(in, piece, sizeof piece, size)) > 0) {
                kind = Classify(kind, piece, (size_t)n);
                for (ssize_t i = 0; i < n; ++i)
                    hash = (hash ^ piece[i]) * 1099511628211ULL;
                size += n;
            }
            readable = n == 0;
            realClose(in);
        }
        PutNumber(&line, (unsigned long long)(readable ? size : info.st_size), 10);
        Put(&line, " ");
        Put(&line, readable ? BytesName(kind) : "unreadable");
        Put(&line, " ");
        PutNumber(&line, readable ? hash : 0, 16);
        Put(&line, " ");
    }
    PutOpenedPath(&line, fd, AT_FDCWD, "?");
    Emit(&line);
}

static void LogSyncFailed(const char* call, int fd, int error)
{
    if (LogPath() == NULL)
        return;
    struct Line line = {.length = 0};
    Put(&line, call);
    Put(&line, "-failed ");
    PutNumber(&line, (unsigned long long)error, 10);
    Put(&line, " ");
    PutOpenedPath(&line, fd, AT_FDCWD, "?");
    Emit(&line);
}

static int Flush(const char* call, enum Real which, int fd, int fail)
{
    LogSync(call, fd);
    int result = -1;
    if (fail) {
        errno = EIO;
    } else {
        int (*real)(int);
        NEXT(real, which);
        result = real(fd);
    }
    const int error = errno;
    if (result != 0)
        LogSyncFailed(call, fd, error);
    errno = error;
    return result;
}

int fsync(int fd)
{
    return Flush("fsync", FSYNC, fd, getenv("CIPHRA_FAULT_FSYNC") != NULL);
}

int fdatasync(int fd)
{
    return Flush("fdatasync", FDATASYNC, fd,
                 getenv("CIPHRA_FAULT_FSYNC") != NULL || getenv("CIPHRA_FAULT_FDATASYNC") != NULL);
}

int syncfs(int fd)
{
    return Flush("syncfs", SYNCFS, fd, getenv("CIPHRA_FAULT_FSYNC") != NULL);
}

int sync_file_range(int fd, off_t offset, off_t length, unsigned int flags)
{
    const int whole = offset == 0 && length == 0 && (flags & SYNC_FILE_RANGE_WAIT_AFTER);
    if (whole)
        LogSync("sync_file_range", fd);
    int result = -1;
    if (getenv("CIPHRA_FAULT_FSYNC") != NULL || getenv("CIPHRA_FAULT_FDATASYNC") != NULL) {
        errno = EIO;
    } else {
        int (*real)(int, off_t, off_t, unsigned int);
        NEXT(real, SYNC_FILE_RANGE);
        result = real(fd, offset, length, flags);
    }
    const int error = errno;
    if (result != 0)
        LogSyncFailed("sync_file_range", fd, error);
    errno = error;
    return result;
}

/* ---- Names removed ---- */

/* Logs the removal of `path` (relative to `dir`) before it happens, under
 * the path the kernel knows it by. Folders are left out. */
static void LogUnlink(int dir, const char* path)
{
    if (LogPath() == NULL)
        return;
    int (*realOpenat)(int, const char*, int, ...);
    int (*realClose)(int);
    NEXT(realOpenat, OPENAT);
    NEXT(realClose, CLOSE);
    const int file = realOpenat(dir, path, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    struct stat info;
    if (file < 0 || fstat(file, &info) != 0 || !S_ISDIR(info.st_mode)) {
        struct Line line = {.length = 0};
        Put(&line, "unlink ");
        PutOpenedPath(&line, file, dir, path);
        Emit(&line);
    }
    if (file >= 0)
        realClose(file);
}

int unlink(const char* path)
{
    const int error = errno;
    LogUnlink(AT_FDCWD, path);
    errno = error;
    int (*real)(const char*);
    NEXT(real, UNLINK);
    return real(path);
}

int unlinkat(int dir, const char* path, int flags)
{
    const int error = errno;
    if (!(flags & AT_REMOVEDIR))
        LogUnlink(dir, path);
    errno = error;
    int (*real)(int, const char*, int);
    NEXT(real, UNLINKAT);
    return real(dir, path, flags);
}

int remove(const char* path)
{
    const int error = errno;
    LogUnlink(AT_FDCWD, path);
    errno = error;
    int (*real)(const char*);
    NEXT(real, REMOVE);
    return real(path);
}

/* ---- Names given ---- */

static void LogRename(int fromDir, const char* from, int toDir, const char* to)
{
    if (LogPath() == NULL)
        return;
    struct Line line = {.length = 0};
    Put(&line, "rename ");
    PutPathAt(&line, fromDir, from);
    Put(&line, " -> ");
    PutPathAt(&line, toDir, to);
    Emit(&line);
}

int renameat(int fromDir, const char* from, int toDir, const char* to)
{
    int (*real)(int, const char*, int, const char*);
    NEXT(real, RENAMEAT);
    const int result = real(fromDir, from, toDir, to);
    const int error = errno;
    if (result == 0)
        LogRename(fromDir, from, toDir, to);
    errno = error;
    return result;
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags)
{
    int (*real)(int, const char*, int, const char*, unsigned int);
    NEXT(real, RENAMEAT2);
    const int result = real(fromDir, from, toDir, to, flags);
    const int error = errno;
    if (result == 0)
        LogRename(fromDir, from, toDir, to);
    errno = error;
    return result;
}
