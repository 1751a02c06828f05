// Resource identifiers of the bridge's settings dialog.
#pragma once

#define IDD_SETTINGS 104
#define IDC_INTERVAL 1000
#define IDC_INTERVAL_SPIN 1001

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
