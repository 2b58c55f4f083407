// Block references (INSERT): the database models their block, position, rotation, scale and
// normal; those groups are read from the kept groups on loading and written into them on
// saving, everything else stays as it was in the file.
#pragma once

#include <string>
#include <vector>

#include "host/db/hostdb.h"

namespace host::dxf {

// What a block reference's groups say (AcDbBlockReference part; files before R2000 have no
// subclass markers, so there every group counts).
struct InsertGroups {
    std::string blockName;
    double position[3] = {0, 0, 0};
    double scale[3] = {1, 1, 1};
    double normal[3] = {0, 0, 1};
    double rotation = 0;  // degrees
};
InsertGroups ReadInsertGroups(const std::vector<DxfGroup>& groups, bool oldFile);
// The block's name in the drawing: the file's spellings of the two spaces become the
// drawing's ("$MODEL_SPACE" is "*Model_Space").
std::string InsertedBlockName(const std::string& fileName);
// A new block reference (not in a database) of the block.
AcDbBlockReference* NewBlockReference(const InsertGroups& insert, AcDbObjectId block);

// Writes a block reference's modelled values into its kept groups: the block's name, the
// position, and the rotation, scale and normal when they differ from the defaults or were
// in the file.
void PutInsertGroups(const AcDbBlockReference* ref, std::vector<DxfGroup>& groups);

}  // namespace host::dxf
