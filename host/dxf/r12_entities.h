// Entities of later versions in the form DXF R12 has, for saving in R12.
//
// A light polyline (LWPOLYLINE) is the same curve as a 2D POLYLINE with one VERTEX per point
// and a closing SEQEND: nothing is lost in writing it so.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/dxf/document.h"

namespace host::dxf {

// The POLYLINE, its VERTEXes and its SEQEND for an LWPOLYLINE record (its tags as the saver
// builds them: subclass markers, owner and extended data may be there). The POLYLINE keeps the
// light polyline's handle, its common groups (layer, colour, line type, space) and extended
// data; the VERTEXes and the SEQEND are on its layer and in its space, each with a handle from
// newHandle.
std::vector<Record> PolylineOfLightPolyline(const Record& light,
                                            const std::function<std::uint64_t()>& newHandle);

}  // namespace host::dxf
