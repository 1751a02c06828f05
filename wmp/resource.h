// Resource identifiers of ZEQ_Mivola_WMP.
#pragma once

#define IDR_REGISTRY 101
#define IDS_FRIENDLY_NAME 102
#define IDS_DESCRIPTION 103
#include "interval_dialog_ids.h"  // dialog 104 and its controls

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
