#include "media/graph/WavDestFilter.h"

namespace media {

WavDestFilter::WavDestFilter() {
    AddPin(std::make_unique<Pin>(this, "In", PINDIR_INPUT, MEDIATYPE_Audio));
    AddPin(std::make_unique<Pin>(this, "Out", PINDIR_OUTPUT, MEDIATYPE_Stream));
}

HRESULT WavDestFilter::Create(REFIID riid, void** ppv) {
    auto* filter = new WavDestFilter;
    HRESULT hr = filter->QueryInterface(riid, ppv);
    filter->Release();
    return hr;
}

GstElement* WavDestFilter::CreateElement(std::string* error) {
    // wavenc rewrites the header when the stream ends and the file can be sought.
    GstElement* element = gst_element_factory_make("wavenc", nullptr);
    if (!element && error) *error = "the WAV encoder (wavenc, gstreamer1.0-plugins-good) is missing";
    return element;
}

}  // namespace media
