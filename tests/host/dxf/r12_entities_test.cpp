// Light polylines as R12 polylines and multi-line texts as single-line texts, record by
// record: what goes onto each record made, where the texts are placed, what is dropped.
#include "host/dxf/r12_entities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

using host::dxf::PolylineOfLightPolyline;
using host::dxf::Record;
using host::dxf::Tags;

namespace host::dxf {
// Tags in failure messages as (code, value).
void PrintTo(const Tag& t, std::ostream* os) {
    *os << "(" << t.code << ", \"" << t.value << "\")";
}
}  // namespace host::dxf

namespace {

std::vector<Tags> Convert(const Tags& tags, std::uint64_t firstHandle = 0x100) {
    Record r;
    r.tags = tags;
    std::uint64_t next = firstHandle;
    std::vector<Tags> out;
    for (const Record& part : PolylineOfLightPolyline(r, [&] { return next++; }))
        out.push_back(part.tags);
    return out;
}

}  // namespace

// As the saver builds it: owner, reactors, subclass markers, vertex ids, a colour of its own,
// paper space, extended data.
TEST(DxfLightPolylineAsPolyline, EveryGroupGoesWhereItBelongs) {
    const auto parts = Convert({{0, "LWPOLYLINE"},
                                {5, "2A"},
                                {102, "{ACAD_REACTORS"},
                                {330, "99"},
                                {102, "}"},
                                {330, "1F"},
                                {100, "AcDbEntity"},
                                {67, "1"},
                                {8, "Walls"},
                                {62, "3"},
                                {100, "AcDbPolyline"},
                                {90, "2"},
                                {70, "129"},
                                {38, "1.5"},
                                {10, "1.0"},
                                {20, "2.0"},
                                {91, "7"},
                                {42, "0.5"},
                                {10, "3.0"},
                                {20, "4.0"},
                                {40, "0.25"},
                                {41, "0.0"},
                                {42, "0.0"},
                                {210, "0.0"},
                                {220, "0.0"},
                                {230, "-1.0"},
                                {1001, "APP"},
                                {1000, "kept"}});
    const std::vector<Tags> expected = {
        {{0, "POLYLINE"},
         {5, "2A"},
         {67, "1"},
         {8, "Walls"},
         {62, "3"},
         {66, "1"},
         {10, "0.0"},
         {20, "0.0"},
         {30, "1.5"},
         {70, "129"},
         {210, "0.0"},
         {220, "0.0"},
         {230, "-1.0"},
         {1001, "APP"},
         {1000, "kept"}},
        {{0, "VERTEX"},
         {5, "100"},
         {8, "Walls"},
         {67, "1"},
         {10, "1.0"},
         {20, "2.0"},
         {30, "1.5"},
         {42, "0.5"},
         {70, "0"}},
        {{0, "VERTEX"},
         {5, "101"},
         {8, "Walls"},
         {67, "1"},
         {10, "3.0"},
         {20, "4.0"},
         {30, "1.5"},
         {40, "0.25"},
         {41, "0.0"},
         {70, "0"}},
        {{0, "SEQEND"}, {5, "102"}, {8, "Walls"}, {67, "1"}},
    };
    EXPECT_EQ(parts, expected);
}

// Widths: a point's own, else the constant width, which is also the POLYLINE's default.
TEST(DxfLightPolylineAsPolyline, PointsWithoutWidthsTakeTheConstantWidth) {
    const auto parts = Convert({{0, "LWPOLYLINE"},
                                {5, "2A"},
                                {8, "0"},
                                {70, "1"},
                                {43, "0.75"},
                                {39, "2.0"},
                                {10, "0.0"},
                                {20, "0.0"},
                                {10, "5.0"},
                                {20, "0.0"},
                                {40, "1.0"},
                                {41, "2.0"}});
    ASSERT_EQ(parts.size(), 4u);
    const Tags head = {{0, "POLYLINE"}, {5, "2A"},    {8, "0"},    {66, "1"},
                       {10, "0.0"},     {20, "0.0"},  {30, "0.0"}, {39, "2.0"},
                       {70, "1"},       {40, "0.75"}, {41, "0.75"}};
    EXPECT_EQ(parts[0], head);
    const Tags first = {{0, "VERTEX"}, {5, "100"},   {8, "0"},     {10, "0.0"}, {20, "0.0"},
                        {30, "0.0"},   {40, "0.75"}, {41, "0.75"}, {70, "0"}};
    EXPECT_EQ(parts[1], first);
    const Tags second = {{0, "VERTEX"}, {5, "101"},  {8, "0"},    {10, "5.0"}, {20, "0.0"},
                         {30, "0.0"},   {40, "1.0"}, {41, "2.0"}, {70, "0"}};
    EXPECT_EQ(parts[2], second);
}

// A light polyline without points still gets its POLYLINE and SEQEND (a reader expects the
// pair), and its flags keep only what POLYLINE means the same way.
TEST(DxfLightPolylineAsPolyline, NoPointsAndOtherFlags) {
    const auto parts = Convert({{0, "LWPOLYLINE"}, {5, "2A"}, {8, "0"}, {90, "0"}, {70, "6"}});
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].back(), (host::dxf::Tag{70, "0"}));
    EXPECT_EQ(parts[1].front().value, "SEQEND");
}

namespace {

std::vector<Tags> ConvertText(const Tags& tags) {
    Record r;
    r.tags = tags;
    std::uint64_t next = 0x100;
    std::vector<Tags> out;
    for (const Record& part : host::dxf::TextsOfMText(r, [&] { return next++; }))
        out.push_back(part.tags);
    return out;
}

double Value(const Tags& tags, int code) {
    for (const auto& t : tags) {
        if (t.code == code)
            return std::stod(t.value);
    }
    return -999;
}

}  // namespace

// Two lines of height 2 (a pitch of 10/3) at (10, 20): the base lines for every attachment
// point, and the horizontal alignment on the point.
TEST(DxfMTextAsTexts, AttachmentPointsPlaceTheLines) {
    struct Case {
        int attachment;
        int align;  // 72 of the TEXTs
        double firstY, secondY;
    } cases[] = {
        {1, 0, 18, 20 - 16.0 / 3},          {2, 1, 18, 20 - 16.0 / 3},
        {3, 2, 18, 20 - 16.0 / 3},          {4, 0, 20 + 2.0 / 3, 20 - 8.0 / 3},
        {5, 1, 20 + 2.0 / 3, 20 - 8.0 / 3}, {6, 2, 20 + 2.0 / 3, 20 - 8.0 / 3},
        {7, 0, 20 + 10.0 / 3, 20},          {8, 1, 20 + 10.0 / 3, 20},
        {9, 2, 20 + 10.0 / 3, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attachment);
        const auto texts = ConvertText({{0, "MTEXT"},
                                        {5, "2A"},
                                        {8, "0"},
                                        {10, "10.0"},
                                        {20, "20.0"},
                                        {30, "0.0"},
                                        {40, "2.0"},
                                        {71, std::to_string(c.attachment)},
                                        {1, "one\\Ptwo"}});
        ASSERT_EQ(texts.size(), 2u);
        const int y = c.align ? 21 : 20;  // the alignment point when aligned on it
        EXPECT_NEAR(Value(texts[0], y), c.firstY, 1e-9);
        EXPECT_NEAR(Value(texts[1], y), c.secondY, 1e-9);
        EXPECT_NEAR(Value(texts[0], y - 10), 10, 1e-9);
        EXPECT_EQ(Value(texts[0], 72), c.align ? c.align : -999);
    }
}

// The pieces of a long text are joined, formatting goes, empty lines keep their place; the
// first TEXT is the MTEXT (handle, colour, extended data), the next ones are new, on its layer
// and in its space.
TEST(DxfMTextAsTexts, LinesOfThePlainTextWithTheirHandles) {
    const auto texts = ConvertText({{0, "MTEXT"},
                                    {5, "2A"},
                                    {330, "1F"},
                                    {100, "AcDbEntity"},
                                    {67, "1"},
                                    {8, "Notes"},
                                    {62, "1"},
                                    {100, "AcDbMText"},
                                    {10, "0.0"},
                                    {20, "0.0"},
                                    {30, "0.0"},
                                    {40, "1.5"},
                                    {3, "{\\fArial|b1;Pu"},
                                    {1, "mp}\\P\\Pend"},
                                    {7, "Standard"},
                                    {1001, "APP"},
                                    {1000, "x"}});
    const std::vector<Tags> expected = {
        {{0, "TEXT"},
         {5, "2A"},
         {67, "1"},
         {8, "Notes"},
         {62, "1"},
         {10, "0.0"},
         {20, "-1.5"},
         {30, "0.0"},
         {40, "1.5"},
         {1, "Pump"},
         {7, "Standard"},
         {1001, "APP"},
         {1000, "x"}},
        {{0, "TEXT"},
         {5, "100"},
         {8, "Notes"},
         {67, "1"},
         {10, "0.0"},
         {20, "-6.5"},
         {30, "0.0"},
         {40, "1.5"},
         {1, "end"},
         {7, "Standard"}},
    };
    EXPECT_EQ(texts, expected);
}

// Groups of columns come after the rotation: a column width (48) is not the entity's line
// type scale, column heights (50) are not its rotation.
TEST(DxfMTextAsTexts, ColumnGroupsAreNotTakenForCommonGroupsOrTheRotation) {
    const auto texts = ConvertText({{0, "MTEXT"},
                                    {5, "2A"},
                                    {100, "AcDbEntity"},
                                    {8, "0"},
                                    {48, "2.0"},
                                    {100, "AcDbMText"},
                                    {10, "0.0"},
                                    {20, "0.0"},
                                    {30, "0.0"},
                                    {40, "1.0"},
                                    {1, "x"},
                                    {50, "90.0"},
                                    {75, "2"},
                                    {48, "30.0"},
                                    {76, "2"},
                                    {50, "12.5"},
                                    {50, "7.5"}});
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(Value(texts[0], 48), 2.0);
    EXPECT_EQ(Value(texts[0], 50), 90.0);
    EXPECT_NEAR(Value(texts[0], 10), 1.0, 1e-12);  // a height below the point, turned
    EXPECT_NEAR(Value(texts[0], 20), 0.0, 1e-12);
    EXPECT_EQ(std::count_if(texts[0].begin(), texts[0].end(),
                            [](const host::dxf::Tag& t) { return t.code == 48 || t.code == 50; }),
              2);
}

// Under the extrusion (0, 0, -1) the object coordinate system's x axis is the world's -x: the
// world insertion point (10, 5, 2) and direction +x become (-10, 5, -2) and 180 degrees, the
// first base line a height from there, and the TEXT keeps the extrusion.
TEST(DxfMTextAsTexts, WorldPointAndDirectionGoIntoTheExtrusionsCoordinates) {
    const auto texts = ConvertText({{0, "MTEXT"},
                                    {5, "2A"},
                                    {8, "0"},
                                    {10, "10.0"},
                                    {20, "5.0"},
                                    {30, "2.0"},
                                    {40, "1.0"},
                                    {1, "x"},
                                    {210, "0.0"},
                                    {220, "0.0"},
                                    {230, "-1.0"},
                                    {11, "1.0"},
                                    {21, "0.0"},
                                    {31, "0.0"}});
    ASSERT_EQ(texts.size(), 1u);
    const Tags& t = texts[0];
    EXPECT_NEAR(Value(t, 10), -10, 1e-12);
    EXPECT_NEAR(Value(t, 20), 6, 1e-12);
    EXPECT_NEAR(Value(t, 30), -2, 1e-12);
    EXPECT_NEAR(Value(t, 50), 180, 1e-12);
    EXPECT_EQ(Value(t, 230), -1);
}
