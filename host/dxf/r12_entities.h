// Entities of later versions in the form DXF R12 has, for saving in R12.
//
// A light polyline (LWPOLYLINE) is the same curve as a 2D POLYLINE with one VERTEX per point
// and a closing SEQEND: nothing is lost in writing it so. A multi-line text (MTEXT) becomes a
// single-line TEXT per line of its plain text, which loses its formatting and wrapping.
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

// The TEXTs for an MTEXT record: one per non-empty line of its plain text (lines end at \P
// and line breaks), placed as the MTEXT places them from its insertion point, attachment
// point, direction or rotation, text height and line spacing factor. The first TEXT keeps the
// MTEXT's handle, common groups and extended data; the others are on its layer and in its
// space, with handles from newHandle. An MTEXT without text gives one empty TEXT.
std::vector<Record> TextsOfMText(const Record& mtext,
                                 const std::function<std::uint64_t()>& newHandle);

}  // namespace host::dxf
