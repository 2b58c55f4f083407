#include "provider/captured_output.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace provider {

namespace {

// The state of the outermost capture.
struct Capture {
    std::recursive_mutex lock;
    int depth = 0;
    int buffer = -1;  // a memory file holding what was printed
    int savedOut = -1;
    int savedErr = -1;
};

Capture& State() {
    static Capture capture;
    return capture;
}

int MakeBuffer() {
    int fd = ::memfd_create("quarvel-captured-output", MFD_CLOEXEC);
    if (fd < 0) {
        char name[] = "/tmp/quarvel-output-XXXXXX";
        fd = ::mkostemp(name, O_CLOEXEC);
        if (fd >= 0)
            ::unlink(name);
    }
    return fd;
}

}  // namespace

CapturedOutput::CapturedOutput() {
    Capture& c = State();
    c.lock.lock();
    if (c.depth++ > 0) {
        std::fflush(stdout);
        std::fflush(stderr);
        m_start = c.buffer >= 0 ? ::lseek(c.buffer, 0, SEEK_END) : 0;
        return;
    }
    // What the process printed before belongs to the real outputs.
    std::fflush(stdout);
    std::fflush(stderr);
    if (c.buffer < 0)
        c.buffer = MakeBuffer();
    if (c.buffer < 0 || ::ftruncate(c.buffer, 0) != 0)
        return;  // nothing to capture into: the output stays where it is
    ::lseek(c.buffer, 0, SEEK_SET);
    c.savedOut = ::dup(STDOUT_FILENO);
    c.savedErr = ::dup(STDERR_FILENO);
    if (c.savedOut >= 0)
        ::dup2(c.buffer, STDOUT_FILENO);
    if (c.savedErr >= 0)
        ::dup2(c.buffer, STDERR_FILENO);
}

CapturedOutput::~CapturedOutput() {
    Capture& c = State();
    if (--c.depth == 0) {
        // Text the library left in the stdio buffers is captured text too.
        std::fflush(stdout);
        std::fflush(stderr);
        if (c.savedOut >= 0) {
            ::dup2(c.savedOut, STDOUT_FILENO);
            ::close(c.savedOut);
        }
        if (c.savedErr >= 0) {
            ::dup2(c.savedErr, STDERR_FILENO);
            ::close(c.savedErr);
        }
        c.savedOut = c.savedErr = -1;
    }
    c.lock.unlock();
}

std::string CapturedOutput::Summary() const {
    const Capture& c = State();
    if (c.buffer < 0)
        return {};
    std::fflush(stdout);
    std::fflush(stderr);
    std::string first;
    long lines = 0;
    bool inLine = false;
    char chunk[4096];
    for (off_t at = m_start;;) {
        const ssize_t n = ::pread(c.buffer, chunk, sizeof chunk, at);
        if (n <= 0)
            break;
        at += n;
        for (ssize_t i = 0; i < n; ++i) {
            const char ch = chunk[i];
            if (ch == '\n' || ch == '\r') {
                inLine = false;
                continue;
            }
            if (!inLine && ch != ' ' && ch != '\t') {
                inLine = true;
                ++lines;
            }
            if (lines == 1 && inLine && first.size() < 160)
                first += static_cast<unsigned char>(ch) < 0x20 ? ' ' : ch;
        }
    }
    if (lines == 0)
        return {};
    std::string summary = " The reader reported: \"" + first + "\"";
    if (lines > 1)
        summary += " and " + std::to_string(lines - 1) + " more line" + (lines > 2 ? "s" : "");
    return summary + ".";
}

}  // namespace provider
