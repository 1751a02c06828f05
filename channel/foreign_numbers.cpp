#include "foreign_numbers.h"

namespace mivola {

int32_t WholeSeconds(double seconds) {
    if (seconds != seconds) return 0;  // NaN
    // Compared before the cast: only values whose cut lies inside the range are cast.
    if (seconds >= 2147483648.0) return INT32_MAX;
    if (seconds <= -2147483649.0) return INT32_MIN;
    return static_cast<int32_t>(seconds);
}

int32_t LeadingInteger(const char* text) {
    if (!text) return 0;
    const char* p = text;
    // The C locale's white space, as atol skips it.
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // Accumulated as a magnitude that stops growing past 2^31, so any number of digits is safe.
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit) magnitude = limit;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

uint16_t TrackNumberFromText(const char* text) {
    return static_cast<uint16_t>(static_cast<uint32_t>(LeadingInteger(text)) & 0xFFFFu);
}

}  // namespace mivola
