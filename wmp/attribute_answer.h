// The bridge's side of the custom attribute exchange: it reads the host's request, asks the
// current media item for each name and publishes the name/value pairs it gets.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "attribute_exchange.h"
#include "named_mutex.h"
#include "region_names.h"
#include "shared_region.h"
#include "unique_com.h"

namespace mivola::wmp {

// The media item's value for an attribute name (a BSTR of that name), or null when it has none.
using AttributeValueFn = unique_bstr (*)(void* context, BSTR name);

// The answer to a request of `count` units: the name and value of every name, in request
// order, up to the first empty name; a name without value is left out, a value is taken up
// to its first NUL. The list, final NUL included, never exceeds maxUnits: the pairs that would
// not fit are left off (a reader refuses longer lists anyway, and a request the host did not
// write must not make the player's process run out of memory).
const std::vector<wchar_t>& BuildAnswer(const wchar_t* request, size_t count, AttributeValueFn value, void* context,
                                        ListBuilder& answer, size_t maxUnits = kMaxListUnits);

// Where the exchange happens; the defaults are the host's and the bridge's names.
struct ExchangeNames {
    const char* requestRegion = kRequestRegion;
    const char* answerRegion = kAnswerRegion;
};

// Reads the request under its mutex; with one, answers it and publishes the answer under the
// answer mutex into `answerRegion` (kept open until the next answer). False when there is no
// request (the previous answer stays) or the answer could not be published.
bool AnswerRequest(NamedMutex& requestMutex, NamedMutex& answerMutex, SharedRegion& answerRegion,
                   AttributeValueFn value, void* context, const ExchangeNames& names = ExchangeNames());

}  // namespace mivola::wmp
