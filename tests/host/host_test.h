// A host session for tests: command-line output and errors are captured, input comes from a
// queue.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/base/command_line.h"
#include "host/base/report.h"
#include "host/ui/console.h"
#include "host/ui/input_source.h"
#include "platform/dbmain.h"

class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::SetCommandLineCapture(&out);
        host::SetErrorCapture(&errors);
        scoped = std::make_unique<host::ScopedInput>(input);
        session = std::make_unique<host::Session>();
    }
    void TearDown() override {
        session.reset();
        scoped.reset();
        host::SetCommandLineCapture(nullptr);
        host::SetErrorCapture(nullptr);
    }
    void Feed(const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            input.Push(line);
    }
    // Runs the lines as a script of their own (a fresh queue); true when no line failed.
    bool RunScript(const std::vector<std::string>& lines) {
        input = host::QueueInput();
        Feed(lines);
        return host::RunCommandLoop();
    }

    std::string out;
    std::string errors;
    host::QueueInput input;
    std::unique_ptr<host::ScopedInput> scoped;
    std::unique_ptr<host::Session> session;
};
