// Simulated hands for the desktop toolkit's in-process tests (they need wxWidgets' headers).
#pragma once

#include <gtest/gtest.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include <deque>
#include <functional>
#include <string>
#include <utility>

namespace wxtest {

// Steps of simulated input, run one after another from a timer while a window or dialog
// waits for its user. A waiting step is tried again on every tick until it is done or its
// patience (in ticks) runs out; then the test fails with what was awaited, or goes on
// silently when nothing was named. Once no step is left, atEnd runs on every tick: it ends
// whatever the test left waiting, so that a failed test does not hang.
class Hands : public wxTimer {
public:
    Hands(std::function<void()> atEnd, int patienceTicks)
        : m_atEnd(std::move(atEnd)), m_patience(patienceTicks) {}

    void Then(std::function<void()> step) {
        m_steps.push_back([step] {
            step();
            return true;
        });
    }
    void WaitFor(std::function<bool()> done, std::string what = {}) {
        m_steps.push_back([this, done, what] {
            if (done())
                return true;
            if (++m_waited <= m_patience)
                return false;
            if (!what.empty())
                ADD_FAILURE() << "timed out waiting for " << what;
            return true;
        });
    }
    void Notify() override {
        if (m_steps.empty()) {
            m_atEnd();
            return;
        }
        if (m_steps.front()()) {
            m_steps.pop_front();
            m_waited = 0;
        }
    }
    bool Done() const { return m_steps.empty(); }

    wxUIActionSimulator sim;

private:
    std::function<void()> m_atEnd;
    int m_patience;
    std::deque<std::function<bool()>> m_steps;
    int m_waited = 0;
};

}  // namespace wxtest
