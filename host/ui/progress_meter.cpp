#include "host/ui/progress_meter.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "host/base/interrupt.h"
#include "platform/acedads.h"
#include "platform/longwork.h"
#include "platform/textconv.h"

namespace host {

namespace {

std::vector<ProgressMeterRecord> g_history;
bool g_active = false;
int g_drawMode = -1;  // -1: decide from the terminal
int g_lastPercent = -1;
LongWorkRecord g_longWork;
bool g_longWorkShown = false;
ProgressListener g_listener = nullptr;

void Notify() {
    if (g_listener)
        g_listener();
}

bool Drawing() {
    if (g_drawMode < 0)
        g_drawMode = isatty(STDERR_FILENO) ? 1 : 0;
    return g_drawMode == 1;
}

void Draw(const ProgressMeterRecord& meter, int pos) {
    if (!Drawing())
        return;
    const int range = meter.maxPos - meter.minPos;
    const int percent = range > 0 ? static_cast<int>(100LL * (pos - meter.minPos) / range) : 100;
    if (percent == g_lastPercent)
        return;
    g_lastPercent = percent;
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", meter.label.c_str(), std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), percent);
    std::fflush(stderr);
}

void Erase() {
    if (!Drawing() || g_lastPercent < 0)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    g_lastPercent = -1;
}

int Start(std::string label, int minPos, int maxPos) {
    if (g_active || maxPos < minPos)
        return RTERROR;
    g_history.push_back({std::move(label), minPos, maxPos, {}, false});
    g_active = true;
    g_lastPercent = -1;
    Draw(g_history.back(), minPos);
    Notify();
    return RTNORM;
}

}  // namespace

const std::vector<ProgressMeterRecord>& ProgressMeterHistory() {
    return g_history;
}

void ClearProgressMeterHistory() {
    g_history.clear();
    g_active = false;
}

bool ProgressMeterActive() {
    return g_active;
}

const LongWorkRecord& LastLongWork() {
    return g_longWork;
}

void EndLongWork() {
    if (g_longWorkShown) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
    g_longWorkShown = false;
    const bool reported = g_longWork.reports > 0;
    g_longWork = LongWorkRecord{};
    if (reported)
        Notify();
}

void SetProgressListener(ProgressListener listener) {
    g_listener = listener;
}

void SetProgressBarDrawing(bool draw) {
    g_drawMode = draw ? 1 : 0;
}

}  // namespace host

int acedSetStatusBarProgressMeter(const char* label, int minPos, int maxPos) {
    return host::Start(label ? label : "", minPos, maxPos);
}

int acedSetStatusBarProgressMeter(const char16_t* label, int minPos, int maxPos) {
    return host::Start(qv::ToUtf8(label), minPos, maxPos);
}

int acedSetStatusBarProgressMeterPos(int pos) {
    if (!host::g_active)
        return RTERROR;
    host::ProgressMeterRecord& meter = host::g_history.back();
    pos = std::clamp(pos, meter.minPos, meter.maxPos);
    meter.positions.push_back(pos);
    host::Draw(meter, pos);
    host::Notify();
    return RTNORM;
}

extern "C" bool qvLongWorkStep(const char* what, long long done) {
    host::g_longWork.what = what ? what : "";
    host::g_longWork.done = done;
    ++host::g_longWork.reports;
    if (host::Drawing() && !host::g_active) {
        std::fprintf(stderr, "\r%s... %lld\033[K", host::g_longWork.what.c_str(), done);
        std::fflush(stderr);
        host::g_longWorkShown = true;
    }
    host::Notify();
    return !host::CancelRequested();
}

void acedRestoreStatusBar() {
    if (!host::g_active)
        return;
    host::g_history.back().restored = true;
    host::g_active = false;
    host::Erase();
    host::Notify();
}
