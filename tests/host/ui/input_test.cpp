#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "../host_test.h"
#include "host/ui/input_source.h"
#include "platform/acedads.h"

using host::SelectionInput;

namespace {

struct PointCase {
    const char* text;
    bool valid;
    double x, y, z;
};

TEST(ScriptParsing, PointsAreTwoOrThreeNumbers) {
    const PointCase cases[] = {
        {"1,2", true, 1, 2, 0},         {"1.5,-2.25,3", true, 1.5, -2.25, 3},
        {" 10 , 20 ", true, 10, 20, 0}, {"+4,5e1", true, 4, 50, 0},
        {"1", false, 0, 0, 0},          {"1,2,3,4", false, 0, 0, 0},
        {"1,,2", false, 0, 0, 0},       {"a,b", false, 0, 0, 0},
        {"1,2x", false, 0, 0, 0},       {"", false, 0, 0, 0},
        {"inf,1", false, 0, 0, 0},
    };
    for (const PointCase& c : cases) {
        const auto p = host::ParsePoint(c.text);
        EXPECT_EQ(p.has_value(), c.valid) << c.text;
        if (p && c.valid) {
            EXPECT_DOUBLE_EQ(p->x, c.x) << c.text;
            EXPECT_DOUBLE_EQ(p->y, c.y) << c.text;
            EXPECT_DOUBLE_EQ(p->z, c.z) << c.text;
        }
    }
}

TEST(ScriptParsing, CancelTokenIgnoresCaseAndBlanks) {
    EXPECT_TRUE(host::IsCancelToken("*Cancel*"));
    EXPECT_TRUE(host::IsCancelToken("  *CANCEL*\r"));
    EXPECT_FALSE(host::IsCancelToken("Cancel"));
    EXPECT_FALSE(host::IsCancelToken("*Cancel* now"));
}

TEST(ScriptParsing, HandlesAreHexadecimal) {
    EXPECT_EQ(host::ParseHandle("#2A"), 0x2Au);
    EXPECT_EQ(host::ParseHandle("handle 1f"), 0x1Fu);
    EXPECT_EQ(host::ParseHandle("HANDLE   FF"), 0xFFu);
    EXPECT_FALSE(host::ParseHandle("2A"));
    EXPECT_FALSE(host::ParseHandle("#"));
    EXPECT_FALSE(host::ParseHandle("#0"));
    EXPECT_FALSE(host::ParseHandle("#2G"));
    EXPECT_FALSE(host::ParseHandle("#11112222333344445"));
}

TEST(ScriptParsing, SelectionAnswers) {
    struct Case {
        const char* text;
        SelectionInput::Kind kind;
    };
    const Case cases[] = {
        {"L", SelectionInput::Kind::Last},
        {"last", SelectionInput::Kind::Last},
        {"ALL", SelectionInput::Kind::All},
        {"all", SelectionInput::Kind::All},
        {"3,4", SelectionInput::Kind::Pick},
        {"#2B", SelectionInput::Kind::Handle},
        {"W 0,0 10,10", SelectionInput::Kind::Window},
        {"c -1,-1  5,5,0", SelectionInput::Kind::Crossing},
        {"W", SelectionInput::Kind::WindowPrompt},
        {"Crossing", SelectionInput::Kind::CrossingPrompt},
        {"W 0,0", SelectionInput::Kind::Invalid},
        {"X", SelectionInput::Kind::Invalid},
        {"W 0,0 a,b", SelectionInput::Kind::Invalid},
    };
    for (const Case& c : cases)
        EXPECT_EQ(host::ParseSelectionInput(c.text).kind, c.kind) << c.text;
    const SelectionInput w = host::ParseSelectionInput("W 1,2 3,4");
    EXPECT_DOUBLE_EQ(w.first.x, 1);
    EXPECT_DOUBLE_EQ(w.second.y, 4);
}

TEST(ScriptInput, CommentsAreSkippedAndLinesCounted) {
    const std::string path = testing::TempDir() + "hostui_script.scr";
    {
        std::ofstream file(path);
        file << "; a comment\nNEW\r\n\n  ; indented comment\n*Cancel*\n";
    }
    auto script = host::ScriptFileInput::Open(path);
    ASSERT_TRUE(script);
    std::string out;
    host::SetCommandLineCapture(&out);
    EXPECT_EQ(script->ReadLine("\nCommand: "), "NEW");
    EXPECT_EQ(script->Location(), path + ":2");
    EXPECT_EQ(script->ReadLine("\nNext: "), "");
    EXPECT_EQ(script->ReadLine("\nNext: "), "*Cancel*");
    EXPECT_EQ(script->Location(), path + ":5");
    EXPECT_FALSE(script->ReadLine("\nNext: "));
    host::SetCommandLineCapture(nullptr);
    // The transcript shows each prompt with its answer.
    EXPECT_EQ(out, "\nCommand: NEW\nNext: \nNext: *Cancel*");
    EXPECT_FALSE(host::ScriptFileInput::Open(path + ".missing"));
    std::remove(path.c_str());
}

TEST(ScriptInput, AnswersGiveTheEditorCodes) {
    host::QueueInput input({"1,2", "", "*Cancel*", "oops"});
    host::ScopedInput scoped(input);
    std::string out, errors;
    host::SetCommandLineCapture(&out);
    host::SetErrorCapture(&errors);
    ads_point p = {9, 9, 9};
    EXPECT_EQ(acedGetPoint(nullptr, "\nPoint: ", p), RTNORM);
    EXPECT_DOUBLE_EQ(p[0], 1);
    EXPECT_DOUBLE_EQ(p[1], 2);
    EXPECT_DOUBLE_EQ(p[2], 0);
    EXPECT_EQ(acedGetPoint(nullptr, u"\nPoint: ", p), RTNONE);
    EXPECT_EQ(acedGetPoint(nullptr, "\nPoint: ", p), RTCAN);
    // A malformed answer in a script fails the line; the rest of the command sees no input.
    EXPECT_EQ(acedGetPoint(nullptr, "\nPoint: ", p), RTERROR);
    EXPECT_TRUE(input.Failed());
    EXPECT_NE(errors.find("input 4: error: Invalid point"), std::string::npos) << errors;
    input.Push("5,5");
    EXPECT_EQ(acedGetPoint(nullptr, "\nPoint: ", p), RTCAN);
    input.ClearFailure();
    EXPECT_TRUE(input.AnyFailed());
    EXPECT_EQ(acedGetPoint(nullptr, "\nPoint: ", p), RTNORM);
    // The end of the input cancels.
    EXPECT_EQ(acedGetPoint(nullptr, "\nPoint: ", p), RTCAN);
    host::SetCommandLineCapture(nullptr);
    host::SetErrorCapture(nullptr);
    EXPECT_EQ(input.prompts.size(), 6u);
}

TEST(ScriptInput, TerminalAsksAgainAfterABadAnswer) {
    std::istringstream typed("nonsense\n3,4\n");
    host::StreamInput terminal(typed, "stdin", true);
    host::ScopedInput scoped(terminal);
    std::string out, errors;
    host::SetCommandLineCapture(&out);
    host::SetErrorCapture(&errors);
    ads_point p;
    EXPECT_EQ(acedGetPoint(nullptr, "\nPoint: ", p), RTNORM);
    EXPECT_DOUBLE_EQ(p[0], 3);
    host::SetCommandLineCapture(nullptr);
    host::SetErrorCapture(nullptr);
    EXPECT_FALSE(terminal.AnyFailed());
    EXPECT_TRUE(errors.empty());
    EXPECT_NE(out.find("Invalid point"), std::string::npos);
}

}  // namespace

namespace {

TEST(ErrorReports, WithoutAnInputSourceEveryErrorIsReported) {
    std::string errors;
    host::SetErrorCapture(&errors);
    ASSERT_FALSE(host::HasInput());
    host::ReportError("first");
    host::ReportError("second");
    host::SetErrorCapture(nullptr);
    EXPECT_EQ(errors, "error: first\nerror: second\n");
}

TEST(ErrorReports, OneErrorPerFailedLine) {
    host::QueueInput input({"NOPE"});
    host::ScopedInput scoped(input);
    std::string errors;
    host::SetErrorCapture(&errors);
    ASSERT_TRUE(input.ReadLine("\nCommand: "));
    host::ReportError("first");
    host::ReportError("consequence");
    host::ReportWarning("still shown");
    host::SetErrorCapture(nullptr);
    EXPECT_EQ(errors, "input 1: error: first\ninput 1: warning: still shown\n");
}

}  // namespace
