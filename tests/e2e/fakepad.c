/* fakepad.c: a joystick device for end-to-end tests on machines without one.
 *
 * Loaded into the real game with LD_PRELOAD, it makes SDL 1.2 find one
 * joystick at FAKEPAD_DEVICE, speaking the kernel's joystick interface
 * (linux/joystick.h): named FAKEPAD_NAME, 2 axes, 4 buttons, no hats. What
 * SDL does with it, as watched here with strace and a logging build of this
 * library:
 *
 *  - at start-up it stat()s /dev/input/event0..31, /dev/input/js0..31 and
 *    /dev/js0..31, and opens and closes each one that exists;
 *  - SDL_JoystickOpen opens the device read-only, sets O_NONBLOCK with
 *    fcntl, tries EVIOCGBIT (is it an event device?) and, refused, asks
 *    JSIOCGAXES and JSIOCGBUTTONS;
 *  - a name lookup opens it once more for EVIOCGNAME, then JSIOCGNAME;
 *  - event pumping reads up to 32 struct js_event at a time, taking EAGAIN
 *    as "nothing new"; SDL_JoystickClose closes it.
 *
 * Every open of the device opens the FIFO named by FAKEPAD_EVENTS instead,
 * read-write so that SDL never sees end-of-file when the test's writer goes.
 * A test writes struct js_event records into the FIFO; reads, fcntl and
 * select on the descriptor then are the FIFO's own. Only stat, open, ioctl
 * and close need answering here. Every other joystick path is hidden, so a
 * pad plugged into the machine cannot come first.
 *
 * FAKEPAD_LOG, if set, names a file that gets a line "open N" or "close N"
 * for each descriptor of the device, and "quit" each time SDL_Quit is
 * entered (it is wrapped for nothing else). SDL_Quit closes whatever the
 * game left open, so only the order of the lines shows whether the game
 * closed its pads itself, before SDL went. Neither variable is read by the
 * game itself.
 */
#define _GNU_SOURCE
#include <dlfcn.h>   /* Required for: dlsym(RTLD_NEXT) to reach the C library */
#include <errno.h>
#include <fcntl.h>
#include <linux/joystick.h>
#include <stdarg.h>
#include <stdio.h>   /* Required for: snprintf */
#include <stdlib.h>  /* Required for: getenv */
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>  /* Required for: makedev */
#include <unistd.h>

#define FAKEPAD_DEVICE "/dev/input/js0"
#define FAKEPAD_NAME "Vektorak test pad"
#define FAKEPAD_AXES 2
#define FAKEPAD_BUTTONS 4
#define JOYSTICK_MAJOR 13 /* the kernel's input devices */
#define MAX_OPEN 16

static int openFds[MAX_OPEN];
static int openCount;

static int isDevice(int fd) {
    for (int i = 0; i < openCount; i++)
        if (openFds[i] == fd) return 1;
    return 0;
}

static int isOtherJoystickPath(const char* path) {
    static const char* const prefixes[] = {"/dev/input/event", "/dev/input/js", "/dev/js"};
    for (size_t i = 0; i < sizeof prefixes / sizeof prefixes[0]; i++)
        if (strncmp(path, prefixes[i], strlen(prefixes[i])) == 0) return 1;
    return 0;
}

static void *next(const char* name) { return dlsym(RTLD_NEXT, name); }

/* fd < 0 writes the word alone. */
static void logLine(const char* what, int fd) {
    const char* path = getenv("FAKEPAD_LOG");
    if (!path) return;
    static int (*realOpen)(const char*, int, ...);
    static int (*realClose)(int);
    if (!realOpen) realOpen = (int (*)(const char*, int, ...))next("open");
    if (!realClose) realClose = (int (*)(int))next("close");
    char line[32];
    const int n = fd < 0 ? snprintf(line, sizeof line, "%s\n", what) : snprintf(line, sizeof line, "%s %d\n", what, fd);
    const int out = realOpen(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (out < 0) return;
    if (write(out, line, (size_t)n) != n) {
        /* the test sees a missing line */
    }
    realClose(out);
}

int stat(const char* path, struct stat* st) {
    static int (*real)(const char*, struct stat*);
    if (!real) real = (int (*)(const char*, struct stat*))next("stat");
    if (strcmp(path, FAKEPAD_DEVICE) == 0) {
        memset(st, 0, sizeof *st);
        st->st_mode = S_IFCHR | 0664;
        st->st_rdev = makedev(JOYSTICK_MAJOR, 0);
        return 0;
    }
    if (isOtherJoystickPath(path)) {
        errno = ENOENT;
        return -1;
    }
    return real(path, st);
}

int open(const char* path, int flags, ...) {
    static int (*real)(const char*, int, ...);
    if (!real) real = (int (*)(const char*, int, ...))next("open");
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = (mode_t)va_arg(args, int);
        va_end(args);
    }
    if (strcmp(path, FAKEPAD_DEVICE) != 0) {
        if (isOtherJoystickPath(path)) {
            errno = ENOENT;
            return -1;
        }
        return real(path, flags, mode);
    }
    const char* events = getenv("FAKEPAD_EVENTS");
    if (!events || openCount == MAX_OPEN) {
        errno = ENODEV;
        return -1;
    }
    const int fd = real(events, O_RDWR | (flags & (O_NONBLOCK | O_CLOEXEC)));
    if (fd < 0) return -1;
    openFds[openCount++] = fd;
    logLine("open", fd);
    return fd;
}

int close(int fd) {
    static int (*real)(int);
    if (!real) real = (int (*)(int))next("close");
    for (int i = 0; i < openCount; i++) {
        if (openFds[i] == fd) {
            openFds[i] = openFds[--openCount];
            logLine("close", fd);
            break;
        }
    }
    return real(fd);
}

int ioctl(int fd, unsigned long request, ...) {
    static int (*real)(int, unsigned long, ...);
    if (!real) real = (int (*)(int, unsigned long, ...))next("ioctl");
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (!isDevice(fd)) return real(fd, request, arg);

    if (request == JSIOCGVERSION) {
        *(__u32*)arg = JS_VERSION;
        return 0;
    }
    if (request == JSIOCGAXES) {
        *(__u8*)arg = FAKEPAD_AXES;
        return 0;
    }
    if (request == JSIOCGBUTTONS) {
        *(__u8*)arg = FAKEPAD_BUTTONS;
        return 0;
    }
    /* JSIOCGNAME carries the buffer's length in the request itself. */
    if (_IOC_TYPE(request) == 'j' && _IOC_NR(request) == _IOC_NR(JSIOCGNAME(0)) &&
        _IOC_DIR(request) == _IOC_READ) {
        const size_t room = _IOC_SIZE(request);
        const size_t size = strlen(FAKEPAD_NAME) + 1;
        const size_t copied = size < room ? size : room;
        memcpy(arg, FAKEPAD_NAME, copied);
        return (int)copied;
    }
    /* The event-device probes, and anything else: a joystick-interface
     * device refuses them. */
    errno = EINVAL;
    return -1;
}

void SDL_Quit(void) {
    static void (*real)(void);
    if (!real) real = (void (*)(void))next("SDL_Quit");
    logLine("quit", -1);
    real();
}
