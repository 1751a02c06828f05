// Resource identifiers of ZEQ_Mivola_WMP.
#pragma once

#define IDR_REGISTRY 101
#define IDS_FRIENDLY_NAME 102
#define IDS_DESCRIPTION 103
#define IDD_TIMING 104
#define IDC_INTERVAL 1000
#define IDC_INTERVAL_SPIN 1001

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
