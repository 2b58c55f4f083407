// The editor: prompts for points, entities and object selections answered from the current
// input source, dragging, redraw and the user coordinate system.
//
// Answers understood (see input_source.h for the line syntax):
//   point prompts       x,y or x,y,z (in the current UCS)
//   entity prompts      a point (the entity under it, within the pick aperture), or a handle
//                       "#2A" / "handle 2A", optionally followed by the picked point
//                       ("#2A 10,5"); without one the picked point is the centre of the
//                       entity's extents; L picks the last entity
//   "Select objects:"   repeated until an empty line: a pick point, L (last), ALL,
//                       W x1,y1 x2,y2 (window: entities wholly inside), C x1,y1 x2,y2
//                       (crossing: entities inside or touching), W or C alone (the corners
//                       are asked for), a handle
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/acedads.h"
#include "platform/dbid.h"
#include "platform/gept3d.h"

namespace host {

class SelectionFilter;

// The pick aperture in drawing units (half the side of the pick box).
double PickAperture();

// Asks for a point; RTNORM with the point in world coordinates, RTNONE, RTCAN or RTERROR.
int GetPoint(std::string_view prompt, AcGePoint3d& point);
// Asks for a whole number of at least minValue; an empty answer takes defaultValue.
int GetInteger(std::string_view prompt, int defaultValue, int minValue, int& value);
// Asks for a text; RTNORM, RTNONE (empty) or RTCAN.
int GetText(std::string_view prompt, std::string& text);
// Asks for one entity; RTNORM with its id and the picked point (world coordinates),
// RTERROR when nothing is there, RTCAN.
int GetEntity(std::string_view prompt, AcDbObjectId& id, AcGePoint3d& picked);
// The interactive "Select objects:" loop over the working database; RTNORM (the set may be
// empty), RTCAN or RTERROR.
int SelectObjects(const SelectionFilter& filter, std::vector<AcDbObjectId>& ids);

// UCS conversions for the current document (identity without one).
AcGePoint3d UcsToWcs(const AcGePoint3d& p);
AcGePoint3d WcsToUcs(const AcGePoint3d& p);

// Installs the editor's selection loop as the host's interactive selector.
void InstallInteractiveSelector();

// What the prompt being asked expects, for a window that answers prompts with the mouse: a
// click is a point, an entity pick, or a pick or window of "Select objects:".
enum class PromptKind { Text, Point, Entity, Selection };
struct PromptContext {
    PromptKind kind = PromptKind::Text;
    // Dragging a set to its place (the insertion point of a new table): the entities that
    // follow the cursor, and the caller's sample function, which gives the transformation of
    // the set for a cursor point (in the UCS).
    std::vector<AcDbObjectId> dragged;
    AcedDragSampleFunc sample = nullptr;
};
// The context of the innermost prompt being asked (Text between prompts).
const PromptContext& CurrentPrompt();
// The translation the drag's sample function gives for a cursor point (world coordinates);
// zero without a drag or when the sample function refuses the point.
AcGeVector3d DragOffset(const AcGePoint3d& cursor);

}  // namespace host
