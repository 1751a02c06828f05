#include "gathering.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "foreign_numbers.h"
#include "text_copy.h"
#include "unique_com.h"

namespace mivola::wmp {

namespace {

// Attribute values pass through a scratch buffer of this many units before they are cut to
// their field.
constexpr size_t kScratchUnits = 10240;

bool GathersMedia(LONG state) { return state == 1 || state == 2 || state == 3 || state == 10; }

// Copies a BSTR into a field: at most capacity units, the last one forced to NUL.
template <size_t N>
void StoreText(wchar_t (&field)[N], const unique_bstr& s) {
    CopyText(field, N, s.get());
}

// An attribute's value; null when the item has none or the call fails.
unique_bstr ExchangeItemInfo(void* media, BSTR name) {
    unique_bstr value;
    keep_if_succeeded(static_cast<IWMPMedia*>(media)->getItemInfo(name, value.put()), value);
    return value;
}

unique_bstr ItemInfo(IWMPMedia* media, const wchar_t* name) {
    unique_bstr bname(::SysAllocString(name));
    return bname ? ExchangeItemInfo(media, bname.get()) : unique_bstr();
}

// An attribute copied first into the scratch buffer, then cut to the field.
template <size_t N>
void StoreAttribute(wchar_t (&field)[N], IWMPMedia* media, const wchar_t* name, wchar_t* scratch) {
    unique_bstr value = ItemInfo(media, name);
    CopyText(scratch, kScratchUnits, value.get());
    CopyText(field, N, scratch);
}

// "WM/TrackNumber" converted to the ANSI code page and read as atol does, held to 32 bits.
uint16_t TrackNumber(IWMPMedia* media) {
    unique_bstr value = ItemInfo(media, L"WM/TrackNumber");
    if (!value || !value.get()[0]) return 0;
    int n = ::WideCharToMultiByte(CP_ACP, 0, value.get(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return 0;
    std::string ansi(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, value.get(), -1, &ansi[0], n, nullptr, nullptr);
    return TrackNumberFromText(ansi.c_str());
}

// "FileSize" scanned as a signed 64-bit decimal (as "%I64d" does); 0 when it does not scan.
int64_t FileSize(IWMPMedia* media) {
    unique_bstr value = ItemInfo(media, L"FileSize");
    if (!value) return 0;
    wchar_t* end = nullptr;
    long long n = std::wcstoll(value.get(), &end, 10);
    return end == value.get() ? 0 : n;
}

// A 32-bit getter's value; 0 when the call fails, whatever it left in its out value.
template <typename I>
int32_t Number(I* object, HRESULT (STDMETHODCALLTYPE I::*get)(LONG*)) {
    LONG value = 0;
    return SUCCEEDED((object->*get)(&value)) ? value : 0;
}

// A double getter's value in whole seconds; 0 when the call fails.
template <typename I>
int32_t Seconds(I* object, HRESULT (STDMETHODCALLTYPE I::*get)(double*)) {
    double value = 0;
    return SUCCEEDED((object->*get)(&value)) ? WholeSeconds(value) : 0;
}

void GatherMedia(IWMPMedia* media, NowPlayingRecord& record, AttributeExchange* exchange) {
    std::vector<wchar_t> scratch(kScratchUnits);
    unique_bstr text;
    keep_if_succeeded(media->get_name(text.put()), text);
    StoreText(record.Title, text);
    keep_if_succeeded(media->get_sourceURL(text.put()), text);
    StoreText(record.Path, text);
    StoreAttribute(record.Genre, media, L"WM/Genre", scratch.data());
    StoreAttribute(record.Artist, media, L"Author", scratch.data());
    StoreAttribute(record.Album, media, L"WM/AlbumTitle", scratch.data());
    record.TrackNumber = TrackNumber(media);
    record.Width = Number(media, &IWMPMedia::get_imageSourceWidth);
    record.Height = Number(media, &IWMPMedia::get_imageSourceHeight);
    record.Length = Seconds(media, &IWMPMedia::get_duration);
    record.FileSize = FileSize(media);
    if (exchange)
        AnswerRequest(exchange->requestMutex, exchange->answerMutex, exchange->answerRegion, ExchangeItemInfo, media,
                      exchange->names);
}

void GatherNetwork(IWMPNetwork* network, NowPlayingRecord& record) {
    struct Getter {
        HRESULT(STDMETHODCALLTYPE IWMPNetwork::*get)(LONG*);
        int32_t NowPlayingRecord::*field;
    };
    static const Getter kGetters[] = {
        {&IWMPNetwork::get_bandWidth, &NowPlayingRecord::Bandwidth},
        {&IWMPNetwork::get_maxBandwidth, &NowPlayingRecord::MaxBandwidth},
        {&IWMPNetwork::get_bitRate, &NowPlayingRecord::BitRate},
        {&IWMPNetwork::get_encodedFrameRate, &NowPlayingRecord::EncodedFrameRate},
        {&IWMPNetwork::get_frameRate, &NowPlayingRecord::FrameRate},
        {&IWMPNetwork::get_framesSkipped, &NowPlayingRecord::FramesSkipped},
        {&IWMPNetwork::get_receivedPackets, &NowPlayingRecord::ReceivedPackets},
        {&IWMPNetwork::get_receptionQuality, &NowPlayingRecord::ReceptionQuality},
        {&IWMPNetwork::get_recoveredPackets, &NowPlayingRecord::RecoveredPackets},
        {&IWMPNetwork::get_lostPackets, &NowPlayingRecord::LostPackets},
        {&IWMPNetwork::get_bufferingCount, &NowPlayingRecord::BufferingCount},
        {&IWMPNetwork::get_bufferingProgress, &NowPlayingRecord::BufferingProgress},
        {&IWMPNetwork::get_downloadProgress, &NowPlayingRecord::DownloadProgress},
    };
    for (const Getter& g : kGetters) record.*g.field = Number(network, g.get);
    unique_bstr protocol;
    keep_if_succeeded(network->get_sourceProtocol(protocol.put()), protocol);
    StoreText(record.Protocol, protocol);
}

}  // namespace

void GatherRecord(IWMPCore* core, NowPlayingRecord& record, AttributeExchange* exchange) {
    record.Magic = kRecordMagic;
    record.Version = kVersionWmp;
    // A failed query is state 0, whatever the core left in its out value.
    WMPPlayState answer = wmppsUndefined;
    if (FAILED(core->get_playState(&answer))) answer = wmppsUndefined;
    // A core may answer a value outside the enumeration; reading that as the enum type is
    // undefined, so its bytes are taken as the integer they are.
    int32_t state = 0;
    static_assert(sizeof answer == sizeof state, "WMPPlayState is a 32-bit value");
    std::memcpy(&state, &answer, sizeof state);
    record.PlayState = static_cast<uint16_t>(state);

    com_ptr<IWMPMedia> media;
    if (GathersMedia(state)) keep_if_succeeded(core->get_currentMedia(media.put()), media);
    if (media) GatherMedia(media.get(), record, exchange);

    com_ptr<IWMPControls> controls;
    keep_if_succeeded(core->get_controls(controls.put()), controls);
    if (controls) record.Position = Seconds(controls.get(), &IWMPControls::get_currentPosition);

    unique_bstr status;
    keep_if_succeeded(core->get_status(status.put()), status);
    StoreText(record.Status, status);

    com_ptr<IWMPNetwork> network;
    keep_if_succeeded(core->get_network(network.put()), network);
    if (network) GatherNetwork(network.get(), record);
}

}  // namespace mivola::wmp
