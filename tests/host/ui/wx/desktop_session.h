// What the desktop toolkit's in-process tests share: the toolkit started once for the test
// program (desktop_session.cpp registers it), input whose lines are made when they are
// read, so that a step can look at the windows before the next line (hands.h has the
// simulated hands that act on the windows while they wait).
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "host/ui/input_source.h"

namespace wxtest {

class StepInput : public host::InputSource {
public:
    void Line(std::string line) {
        m_steps.push_back([line] { return line; });
    }
    // Runs the check when the next line is asked for, then gives that line.
    void Check(std::function<void()> check, std::string next) {
        m_steps.push_back([check, next] {
            check();
            return next;
        });
    }
    bool Done() const { return m_steps.empty(); }

protected:
    std::optional<std::string> ReadRaw(std::string_view) override {
        if (m_steps.empty())
            return std::nullopt;
        auto step = std::move(m_steps.front());
        m_steps.pop_front();
        return step();
    }

private:
    std::deque<std::function<std::string()>> m_steps;
};

}  // namespace wxtest
