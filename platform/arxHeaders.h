// Everything a module includes to reach the host.
#pragma once

#include "platform/CString.h"
#include "platform/accmd.h"
#include "platform/acdb.h"
#include "platform/acdocman.h"
#include "platform/acedads.h"
#include "platform/acutads.h"
#include "platform/adscodes.h"
#include "platform/adsdef.h"
#include "platform/afxwin.h"
#include "platform/dbapserv.h"
#include "platform/dbdict.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"
#include "platform/rxdefs.h"
#include "platform/rxregsvc.h"
#include "platform/windef.h"
