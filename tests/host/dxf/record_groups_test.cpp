// The groups a block record keeps: its BLOCK and ENDBLK entities and the handles of the
// entities generated for a table, written and read back.
#include "host/dxf/record_groups.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using host::dxf::BlockExtras;
using host::dxf::ReadBlockExtras;
using host::dxf::WriteBlockExtras;

TEST(DxfBlockExtras, GeneratedHandlesComeBackInOrderAndRunsTakeTwoGroups) {
    const std::uint64_t top = ~std::uint64_t(0);
    struct Case {
        std::vector<std::uint64_t> handles;
        std::size_t groups;  // kept for them, with the marker
    } cases[] = {
        {{}, 0},
        {{0x2A}, 2},
        {{0x2A, 0x2B, 0x2C, 0x2D}, 3},
        {{0x2D, 0x2C, 0x2B}, 4},
        {{1, 2, 4, 5, 6, 10}, 6},
        {{7, 7, 8}, 4},
        {{top - 1, top}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.handles));
        BlockExtras b;
        b.record = {{100, "AcDbSymbolTableRecord"}, {2, "*T1"}};
        b.beginHandle = 0x10;
        b.endHandle = 0x11;
        b.begin = {{100, "AcDbEntity"}, {8, "0"}};
        b.end = {{100, "AcDbBlockEnd"}};
        b.generated = c.handles;
        const auto groups = WriteBlockExtras(b);
        EXPECT_EQ(groups.size(),
                  b.record.size() + 2 + b.begin.size() + 2 + b.end.size() + c.groups);
        const BlockExtras back = ReadBlockExtras(groups);
        EXPECT_EQ(back.generated, c.handles);
        EXPECT_EQ(back.record, b.record);
        EXPECT_EQ(back.begin, b.begin);
        EXPECT_EQ(back.end, b.end);
        EXPECT_EQ(back.beginHandle, 0x10u);
        EXPECT_EQ(back.endHandle, 0x11u);
    }
}
