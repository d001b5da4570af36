// Start-up benchmark: starts two programs alternately on the X server of
// $DISPLAY, measures for each run the time from exec to the first MapNotify
// of a top-level window (Xlib, no polling) and the peak resident set size up
// to that moment, and prints the medians and the ratios of the first program
// to the second.
//
// With --painted the moment measured is the one the child cares about: the
// table on the screen. After the map the window's pixels are read every
// millisecond until it shows at least 1500 black pixels (the table's digits
// and grid; the yardstick's three lines of text), and at most a fifth of the
// window, so that an unpainted window showing the root's stipple never counts.
// Start Xvfb with -wr (a white root) for the same reason.
//
//   startup_bench [--painted] <runs> <program> <yardstick program>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Run {
    double millis;
    long peakKiB;
};

bool painted = false;

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

// True when the window shows enough black pixels to hold the table.
bool ShowsTable(Display* display, Window window)
{
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return false;
    long black = 0;
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x)
            if ((XGetPixel(image, x, y) & 0xFFFFFF) == 0)
                ++black;
    const long all = long(image->width) * image->height;
    XDestroyImage(image);
    return black >= 1500 && black <= all / 5;
}

bool WaitForPaint(Display* display, Window window, std::chrono::steady_clock::time_point deadline)
{
    while (std::chrono::steady_clock::now() < deadline) {
        if (ShowsTable(display, window))
            return true;
        usleep(1000);
    }
    return false;
}

bool WaitForMap(Display* display, int timeoutMs)
{
    const int fd = ConnectionNumber(display);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify)
                return !painted || WaitForPaint(display, event.xmap.window, deadline);
        }
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(fd, &fds);
        timeval tv{static_cast<time_t>(left.count() / 1000000), static_cast<suseconds_t>(left.count() % 1000000)};
        select(fd + 1, &fds, nullptr, nullptr, &tv);
    }
}

Run Measure(Display* display, const char* program)
{
    XSync(display, True); // drop events of earlier runs
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    const bool mapped = WaitForMap(display, 20000);
    const auto end = std::chrono::steady_clock::now();
    kill(child, SIGKILL);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (!mapped) {
        std::fprintf(stderr, "%s: no window was %s within 20 s\n", program, painted ? "painted" : "mapped");
        std::exit(1);
    }
    return {std::chrono::duration<double, std::milli>(end - start).count(), usage.ru_maxrss};
}

template <class T>
T Median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 5 && std::string(argv[1]) == "--painted") {
        painted = true;
        --argc;
        ++argv;
    }
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s [--painted] <runs> <program> <yardstick program>\n", argv[0]);
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the X display (set DISPLAY, for example under Xvfb)\n");
        return 1;
    }
    XSetErrorHandler(IgnoreXErrors);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    std::vector<double> timeA, timeB;
    std::vector<long> rssA, rssB;
    Measure(display, argv[2]); // warm the file cache for both
    Measure(display, argv[3]);
    for (int i = 0; i < runs; ++i) {
        const Run a = Measure(display, argv[2]);
        const Run b = Measure(display, argv[3]);
        timeA.push_back(a.millis);
        rssA.push_back(a.peakKiB);
        timeB.push_back(b.millis);
        rssB.push_back(b.peakKiB);
    }
    const double ta = Median(timeA), tb = Median(timeB);
    const long ra = Median(rssA), rb = Median(rssB);
    std::printf("runs: %d each, alternating, exec to the first %s\n", runs, painted ? "painted table" : "map");
    std::printf("%-40s start-up %8.1f ms   peak RSS %7ld KiB\n", argv[2], ta, ra);
    std::printf("%-40s start-up %8.1f ms   peak RSS %7ld KiB\n", argv[3], tb, rb);
    std::printf("ratio start-up %.2f   ratio peak RSS %.2f\n", ta / tb, double(ra) / double(rb));
    XCloseDisplay(display);
    return 0;
}
