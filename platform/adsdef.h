// Basic value types of the host's command-line and list interface: points, entity names and
// result buffers (typed value lists, also used for extended data and selection filters).
#pragma once

#include <cstdint>

#include "platform/adscodes.h"
#include "platform/windef.h"

typedef double ads_real;
typedef ads_real ads_point[3];
typedef ads_real ads_matrix[4][4];
typedef std::intptr_t ads_name[2];  // entity or selection-set name
typedef std::intptr_t* ads_namep;
typedef ads_real* ads_pointp;

struct ads_binary {
    short clen;
    char* buf;
};

// A result buffer. Its text member has the width of the module build; the host offers its
// list functions for both widths. Chains are linked through rbnext.
template <class C>
struct resbufT {
    resbufT* rbnext;
    short restype;
    union {
        ads_real rreal;
        ads_real rpoint[3];
        short rint;
        C* rstring;
        std::intptr_t rlname[2];
        std::int32_t rlong;
        std::int64_t mnInt64;
        ads_binary rbinary;
        unsigned char ihandle[8];
    } resval;
};

typedef resbufT<char> resbufA;
typedef resbufT<char16_t> resbufW;

#if defined(QUARVEL_MODULE)
typedef resbufT<TCHAR> resbuf;
#endif

// Selection-set and entity-name helpers.
#define ads_name_set(from, to) ((to)[0] = (from)[0], (to)[1] = (from)[1])
#define ads_name_clear(name) ((name)[0] = (name)[1] = 0)
#define ads_name_nil(name) ((name)[0] == 0 && (name)[1] == 0)
#define ads_name_equal(a, b) ((a)[0] == (b)[0] && (a)[1] == (b)[1])
#define ads_point_set(from, to) ((to)[0] = (from)[0], (to)[1] = (from)[1], (to)[2] = (from)[2])
