// Resource identifiers of the bridge's settings dialog.
#pragma once

#include "interval_dialog_ids.h"  // dialog 104 and its controls

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
