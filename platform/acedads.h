// Editor services: user input (points, entities, selection sets), dragging, coordinate
// transformation, redraw and the status-bar progress meter. Results are RTNORM when the user
// answered, RTNONE for an empty answer (Enter), RTCAN when cancelled, RTERROR otherwise.
#pragma once

#include <cstdint>

#include "platform/adsdef.h"
#include "platform/windef.h"

// Asks for a point. base may be null (no rubber band). The point is in the current UCS.
int acedGetPoint(const ads_point base, const char* prompt, ads_point result);
int acedGetPoint(const ads_point base, const char16_t* prompt, ads_point result);

// Asks for one entity picked by point; gives its name and the picked point.
int acedEntSel(const char* prompt, ads_name entity, ads_point picked);
int acedEntSel(const char16_t* prompt, ads_name entity, ads_point picked);

// Makes a selection set. mode: null for interactive selection ("Select objects:"), "X" for the
// whole drawing, "L" for the last entity, "W"/"C" with pt1/pt2 for a window or crossing,
// "P" for the previous set. filter: an optional list of group codes that entities must match
// ((-4 "<or") ... (-4 "or>"), (0 type), (-3 (1001 app)) ...). RTNORM when the set is not
// empty, RTERROR when nothing was selected, RTCAN when the user cancelled.
int acedSSGet(const char* mode, const void* pt1, const void* pt2, const resbufA* filter,
              ads_name ss);
int acedSSGet(const char16_t* mode, const void* pt1, const void* pt2, const resbufW* filter,
              ads_name ss);
int acedSSFree(const ads_name ss);
int acedSSLength(const ads_name ss, std::int32_t* length);
int acedSSName(const ads_name ss, std::int32_t index, ads_name entity);
// Adds an entity to a set; with a nil set name, makes a new set (holding the entity, if any).
int acedSSAdd(const ads_name entity, const ads_name ss, ads_name result);
int acedSSDel(const ads_name entity, const ads_name ss);
int acedSSMemb(const ads_name entity, const ads_name ss);

// Redraws, hides (ADS_REDRAW_HIDE) or highlights an entity or a selection set.
int acedRedraw(const ads_name entityOrSs, int mode);

// Lets the user drag a selection set to a point. The sample function, when given, receives
// each cursor point and fills a matrix applied to the preview; cursor is the cursor kind.
// RTNORM with the point, RTCAN, RTNONE or RTERROR.
typedef int (*AcedDragSampleFunc)(ads_point point, ads_matrix matrix);
int acedDragGen(const ads_name ss, const char* prompt, int cursor, AcedDragSampleFunc sample,
                ads_point result);
int acedDragGen(const ads_name ss, const char16_t* prompt, int cursor,
                AcedDragSampleFunc sample, ads_point result);
// Transforms every entity of a set by a 4x4 matrix (row-major, translation in column 3).
int acedXformSS(const ads_name ss, ads_matrix matrix);

// Converts a point (or, with vector true, a displacement) from the current UCS to the WCS.
bool acdbUcs2Wcs(const ads_point point, ads_point result, bool vector);
bool acdbWcs2Ucs(const ads_point point, ads_point result, bool vector);

// Status-bar progress meter: a label and a range; RTNORM, or RTERROR while another runs.
int acedSetStatusBarProgressMeter(const char* label, int minPos, int maxPos);
int acedSetStatusBarProgressMeter(const char16_t* label, int minPos, int maxPos);
int acedSetStatusBarProgressMeterPos(int pos);
void acedRestoreStatusBar();

// The host's main window and application objects of the user-interface framework.
class CWinApp;
class CMDIFrameWnd;
class CDocument;
CMDIFrameWnd* acedGetAcadFrame();
CWinApp* acedGetAcadWinApp();
// The framework document of the current drawing (its path name is the drawing file path).
CDocument* acedGetAcadDoc();
