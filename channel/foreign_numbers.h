// Numbers handed over by a player, made into the record's integers. A player's double or digit
// string may hold anything (NaN, infinities, values far beyond 32 bits); converting such a value
// with a plain cast or with atol is undefined, so every conversion goes through here.
#pragma once

#include <cstdint>

namespace mivola {

// Whole seconds from a double: NaN gives 0; any other value is cut toward zero and held to
// the 32-bit range (infinities give its ends).
int32_t WholeSeconds(double seconds);

// The leading decimal integer of a text as atol reads it (white space, an optional sign, digits
// up to the first non-digit; no digits give 0), held to the 32-bit range instead of overflowing.
// A null text gives 0.
int32_t LeadingInteger(const char* text);

// A track number from a text: its leading integer as above, then the low 16 bits
// ("3/12" gives 3, "-1" gives 65535, anything above the 32-bit range gives 65535).
uint16_t TrackNumberFromText(const char* text);

}  // namespace mivola
