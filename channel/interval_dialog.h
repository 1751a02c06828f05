// The interval dialog both player bridges show (each from its own dialog resource 104): an
// edit field of at most 4 characters with an up-down control of range 10..9999. OK takes the
// field's value clamped, hands it over and saves it to the bridge's settings file; Cancel and
// the close box change nothing.
#pragma once

#include <windows.h>

#include "interval_dialog_ids.h"

namespace mivola {

constexpr int kIntervalDialogId = IDD_INTERVAL;
constexpr int kIntervalFieldId = IDC_INTERVAL;
constexpr int kIntervalSpinId = IDC_INTERVAL_SPIN;

struct IntervalDialog {
    HMODULE module;  // holds dialog 104 and names the settings file (its path + ".ini")
    UINT current;    // shown when the dialog opens
    // Called on OK with the clamped value, before it is saved: the caller's interval changes at once.
    void (*apply)(void* target, UINT intervalMs);
    void* target;
    bool centreOverOwner;  // over the owner, or the work area when the owner is hidden or minimised
    bool systemFocus;      // the system puts the focus on the first control
};

// Runs the dialog modally, owned by `owner`; returns DialogBoxParamW's result.
INT_PTR ShowIntervalDialog(const IntervalDialog& dialog, HWND owner);

}  // namespace mivola
