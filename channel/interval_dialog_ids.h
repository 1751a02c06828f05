// Resource identifiers of the interval dialog both player bridges carry, as plain macros so that
// the resource scripts and the code read the same ones.
#pragma once

#define IDD_INTERVAL 104
#define IDC_INTERVAL 1000
#define IDC_INTERVAL_SPIN 1001
