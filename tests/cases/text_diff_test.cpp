// Unified differences of expected and actual texts.
#include "text_diff.h"

#include <gtest/gtest.h>

using cases::UnifiedDiff;

namespace {

std::string Numbered(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i)
        text += "line " + std::to_string(i) + "\n";
    return text;
}

TEST(UnifiedDiff, EqualTextsHaveNoDifference) {
    EXPECT_EQ(UnifiedDiff("", ""), "");
    EXPECT_EQ(UnifiedDiff("a\nb\n", "a\nb\n"), "");
}

TEST(UnifiedDiff, AChangedLineWithItsContext) {
    std::string actual = Numbered(1, 10);
    actual.replace(actual.find("line 5"), 6, "LINE 5");
    EXPECT_EQ(UnifiedDiff(Numbered(1, 10), actual),
              "--- expected\n+++ actual\n"
              "@@ -2,7 +2,7 @@\n"
              " line 2\n line 3\n line 4\n"
              "-line 5\n+LINE 5\n"
              " line 6\n line 7\n line 8\n");
}

TEST(UnifiedDiff, DistantChangesGetHunksOfTheirOwn) {
    const std::string expected = Numbered(1, 30);
    std::string actual = Numbered(2, 29);  // first and last line gone
    EXPECT_EQ(UnifiedDiff(expected, actual),
              "--- expected\n+++ actual\n"
              "@@ -1,4 +1,3 @@\n-line 1\n line 2\n line 3\n line 4\n"
              "@@ -27,4 +26,3 @@\n line 27\n line 28\n line 29\n-line 30\n");
}

TEST(UnifiedDiff, LinesAddedToAnEmptyText) {
    EXPECT_EQ(UnifiedDiff("", "x\ny\n", "want", "got"),
              "--- want\n+++ got\n@@ -0,0 +1,2 @@\n+x\n+y\n");
}

TEST(UnifiedDiff, AMissingLastLineEndIsShown) {
    EXPECT_EQ(UnifiedDiff("a\nb\n", "a\nb"),
              "--- expected\n+++ actual\n@@ -1,2 +1,2 @@\n a\n-b\n+b\n"
              "\\ No newline at end of text\n");
}

TEST(UnifiedDiff, CarriageReturnsAreVisible) {
    EXPECT_EQ(UnifiedDiff("a,b\r\n", "a,b\n"),
              "--- expected\n+++ actual\n@@ -1 +1 @@\n-a,b\\r\n+a,b\n");
}

TEST(UnifiedDiff, MovedBlockIsOneRemovalAndOneAddition) {
    EXPECT_EQ(UnifiedDiff("a\nb\nc\nd\n", "b\nc\nd\na\n", "e", "a", 0),
              "--- e\n+++ a\n@@ -1 +0,0 @@\n-a\n@@ -4,0 +4 @@\n+a\n");
}

TEST(UnifiedDiff, TextsTooLargeForTheLineTableStillDiffer) {
    // Every line changed in 5000 lines: the changed middle is shown removed and added whole.
    std::string expected, actual;
    for (int i = 1; i <= 5000; ++i) {
        expected += "old " + std::to_string(i) + "\n";
        actual += "new " + std::to_string(i) + "\n";
    }
    const std::string d = UnifiedDiff(expected, actual);
    EXPECT_EQ(d.rfind("--- expected\n+++ actual\n@@ -1,5000 +1,5000 @@\n-old 1\n-old 2\n", 0), 0u);
    EXPECT_NE(d.find("-old 5000\n+new 1\n"), std::string::npos);
    EXPECT_EQ(d.substr(d.size() - 10), "+new 5000\n");
}

}  // namespace
