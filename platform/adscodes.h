// Result codes and value type codes of the host's command-line and list interface.
#pragma once

// Result codes of the editor and list functions.
#define RTNORM 5100      // request succeeded
#define RTERROR (-5001)  // some other error
#define RTCAN (-5002)    // user cancelled the request
#define RTREJ (-5003)    // request rejected as invalid
#define RTFAIL (-5004)   // link failure
#define RTKWORD (-5005)  // keyword returned
#define RTINPUTTRUNCATED (-5008)

// Value types of a result buffer (restype outside the group-code range).
#define RTNONE 5000  // no result (an empty answer, Enter)
#define RTREAL 5001
#define RTPOINT 5002
#define RTSHORT 5003
#define RTANG 5004
#define RTSTR 5005
#define RTENAME 5006
#define RTPICKS 5007
#define RTORINT 5008
#define RT3DPOINT 5009
#define RTLONG 5010
#define RTVOID 5014
#define RTLB 5016
#define RTLE 5017
#define RTDOTE 5018
#define RTNIL 5019
#define RTDXF0 5020
#define RTT 5021
#define RTRESBUF 5023
#define RTMODELESS 5027
#define RTLONG_PTR 5030
#define RTINT64 5031

// Redraw modes of acedRedraw.
#define ADS_REDRAW_SHOW 1
#define ADS_REDRAW_HIDE 2
#define ADS_REDRAW_HIGHLIGHT 3
#define ADS_REDRAW_UNHIGHLIGHT 4
