#include <gtest/gtest.h>

#include "../host_test.h"
#include "host/session/documents.h"
#include "host/ui/progress_meter.h"
#include "host/ui/ui_sink.h"
#include "platform/acedads.h"
#include "platform/afxwin.h"

namespace {

TEST(ProgressMeter, EveryMeterIsRecorded) {
    host::ClearProgressMeterHistory();
    host::SetProgressBarDrawing(false);
    EXPECT_EQ(acedSetStatusBarProgressMeterPos(1), RTERROR);  // none showing
    ASSERT_EQ(acedSetStatusBarProgressMeter("Filling table", 0, 10), RTNORM);
    EXPECT_TRUE(host::ProgressMeterActive());
    EXPECT_EQ(acedSetStatusBarProgressMeter("Another", 0, 5), RTERROR);  // one at a time
    for (int pos : {0, 5, 10, 12, -3})
        EXPECT_EQ(acedSetStatusBarProgressMeterPos(pos), RTNORM);
    acedRestoreStatusBar();
    EXPECT_FALSE(host::ProgressMeterActive());
    acedRestoreStatusBar();  // harmless
    ASSERT_EQ(acedSetStatusBarProgressMeter(u"Zweiter Schritt", 1, 3), RTNORM);
    EXPECT_EQ(acedSetStatusBarProgressMeter("Bad range", 5, 1), RTERROR);

    const auto& history = host::ProgressMeterHistory();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].label, "Filling table");
    EXPECT_EQ(history[0].maxPos, 10);
    EXPECT_EQ(history[0].positions, (std::vector<int>{0, 5, 10, 10, 0}));  // clamped
    EXPECT_TRUE(history[0].restored);
    EXPECT_EQ(history[1].label, "Zweiter Schritt");
    EXPECT_FALSE(history[1].restored);
    acedRestoreStatusBar();
    host::ClearProgressMeterHistory();
}

using MessageBoxes = HostTest;

TEST_F(MessageBoxes, QuestionsAreAnsweredFromTheInput) {
    Feed({"n", "", "Cancel", "maybe"});
    EXPECT_EQ(AfxMessageBox("Replace the table?", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(AfxMessageBox(u"Continue?", MB_YESNO | MB_DEFBUTTON2), IDNO);  // default button
    EXPECT_EQ(MessageBox(nullptr, "Save?", "Quarvel", MB_YESNOCANCEL), IDCANCEL);
    // A wrong answer in a script fails the line; the box is cancelled.
    EXPECT_EQ(AfxMessageBox("Retry?", MB_RETRYCANCEL), IDCANCEL);
    EXPECT_TRUE(input.Failed());
    EXPECT_NE(out.find("[Quarvel] Save?"), std::string::npos);
    EXPECT_NE(out.find("[Yes/No/Cancel] <Yes>: "), std::string::npos);
}

TEST_F(MessageBoxes, InformationBoxesAskNothing) {
    Feed({"NEW"});
    EXPECT_EQ(AfxMessageBox(u"Table created.", MB_OK | MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(out, "\n[CAD Host] Table created.");
    EXPECT_FALSE(input.Empty());
    // At the end of the input a question box is cancelled when it can be, else defaulted.
    input = host::QueueInput();
    EXPECT_EQ(AfxMessageBox("Sure?", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(AfxMessageBox("Sure?", MB_YESNO), IDYES);
}

TEST_F(MessageBoxes, RecordingSinkForTests) {
    host::RecordingUiSink sink;
    sink.answers = {IDNO};
    host::UiSink* previous = host::SetUiSink(&sink);
    EXPECT_EQ(AfxMessageBox("One?", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBox(nullptr, u"Two", u"Titel", MB_OK), IDOK);
    host::SetUiSink(previous);
    ASSERT_EQ(sink.shown.size(), 2u);
    EXPECT_EQ(sink.shown[1].caption, "Titel");
    EXPECT_EQ(out, "");
}

using Editor = HostTest;

TEST_F(Editor, UcsMovesTypedPoints) {
    EXPECT_TRUE(RunScript({"UCS", "10,20"}));
    ads_point typed = {1, 2, 3}, world, back;
    ASSERT_TRUE(acdbUcs2Wcs(typed, world, false));
    EXPECT_DOUBLE_EQ(world[0], 11);
    EXPECT_DOUBLE_EQ(world[1], 22);
    EXPECT_DOUBLE_EQ(world[2], 3);
    ASSERT_TRUE(acdbUcs2Wcs(typed, world, true));  // displacements do not move
    EXPECT_DOUBLE_EQ(world[0], 1);
    ASSERT_TRUE(acdbWcs2Ucs(typed, back, false));
    EXPECT_DOUBLE_EQ(back[0], -9);
    // acedGetPoint answers in the UCS, as typed.
    Feed({"5,5"});
    ads_point p;
    EXPECT_EQ(acedGetPoint(nullptr, "\nPoint: ", p), RTNORM);
    EXPECT_DOUBLE_EQ(p[0], 5);
    EXPECT_TRUE(RunScript({"UCS", "W"}));
    ASSERT_TRUE(acdbUcs2Wcs(typed, world, false));
    EXPECT_DOUBLE_EQ(world[0], 1);
}

TEST_F(Editor, RedrawIsCounted) {
    host::Document* doc = host::CurrentDocument();
    ads_name none = {0, 0};
    EXPECT_EQ(acedRedraw(none, ADS_REDRAW_SHOW), RTNORM);
    EXPECT_EQ(acedRedraw(nullptr, ADS_REDRAW_SHOW), RTNORM);
    EXPECT_EQ(acedRedraw(nullptr, 99), RTERROR);
    EXPECT_EQ(doc->RedrawCount(), 2);
}

}  // namespace
