#include "attribute_answer.h"

#include <cwchar>

namespace mivola::wmp {

const std::vector<wchar_t>& BuildAnswer(const wchar_t* request, size_t count, AttributeValueFn value, void* context,
                                        ListBuilder& answer, size_t maxUnits) {
    ListReader names(request, count);
    const wchar_t* name;
    size_t length;
    while (names.Next(&name, &length) && length != 0) {
        unique_bstr bname(::SysAllocStringLen(name, static_cast<UINT>(length)));
        if (!bname) continue;
        unique_bstr found = value(context, bname.get());
        if (!found) continue;
        const size_t valueLength = std::wcslen(found.get());
        // Name, value, their terminators and the list's final NUL.
        if (answer.Size() + length + valueLength + 3 > maxUnits) break;
        answer.Add(name, length);
        answer.Add(found.get(), valueLength);
    }
    return answer.Finish();
}

bool AnswerRequest(NamedMutex& requestMutex, NamedMutex& answerMutex, SharedRegion& answerRegion,
                   AttributeValueFn value, void* context, const ExchangeNames& names) {
    std::vector<wchar_t> request;
    if (!ReadList(requestMutex, names.requestRegion, request)) return false;
    ListBuilder answer;
    const std::vector<wchar_t>& units = BuildAnswer(request.data(), request.size(), value, context, answer);
    return WriteList(answerMutex, answerRegion, names.answerRegion, units.data(), static_cast<uint32_t>(units.size()));
}

}  // namespace mivola::wmp
