#include "host/base/interrupt.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace host {

namespace {

// Only lock-free atomics and plain arrays: the signal handler reads them.
std::atomic<bool> g_cancel{false};
std::atomic<bool> g_inCommand{false};

constexpr int kTemporarySlots = 16;
char g_temporaryPaths[kTemporarySlots][PATH_MAX];
std::atomic<bool> g_temporaryUsed[kTemporarySlots];

void RemoveTemporaryFiles() {
    for (int i = 0; i < kTemporarySlots; ++i)
        if (g_temporaryUsed[i].load())
            ::unlink(g_temporaryPaths[i]);
}

void EndBySignal(int sig) {
    RemoveTemporaryFiles();
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(sig, &action, nullptr);
    ::raise(sig);  // delivered when the handler returns: the host ends as the signal says
}

void OnSignal(int sig) {
    // A second Ctrl-C while the first is still pending ends the host.
    if (sig == SIGINT && g_inCommand.load() && !g_cancel.exchange(true))
        return;
    EndBySignal(sig);
}

}  // namespace

void InstallInterruptHandlers() {
    static_assert(std::atomic<bool>::is_always_lock_free);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Without SA_RESTART: a read from the terminal returns, so that a prompt sees the cancel.
    action.sa_flags = 0;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

bool CancelRequested() {
    return g_cancel.load();
}

void RequestCancel() {
    g_cancel.store(true);
}

CommandScope::CommandScope() : m_outer(!g_inCommand.exchange(true)) {
    if (m_outer)
        g_cancel.store(false);
}

CommandScope::~CommandScope() {
    if (m_outer) {
        g_inCommand.store(false);
        g_cancel.store(false);
    }
}

TemporaryFileGuard::TemporaryFileGuard(const std::string& path) {
    if (path.size() >= PATH_MAX)
        return;
    for (int i = 0; i < kTemporarySlots; ++i) {
        if (g_temporaryUsed[i].load())
            continue;
        std::memcpy(g_temporaryPaths[i], path.c_str(), path.size() + 1);
        g_temporaryUsed[i].store(true);
        m_slot = i;
        return;
    }
}

TemporaryFileGuard::~TemporaryFileGuard() {
    if (m_slot >= 0)
        g_temporaryUsed[m_slot].store(false);
}

}  // namespace host
