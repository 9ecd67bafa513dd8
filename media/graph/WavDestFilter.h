#pragma once
// The WAV writer: audio in, a RIFF WAVE byte stream out, in the format it receives.
// It finishes the header (the RIFF and data sizes) when the stream ends, so the file is
// complete once the graph has stopped. GUI thread only.

#include "media/graph/Filter.h"

namespace media {

class WavDestFilter final : public Filter {
public:
    // One reference for the caller.
    static HRESULT Create(REFIID riid, void** ppv);
    GstElement* CreateElement(std::string* error) override;

private:
    WavDestFilter();
};

}  // namespace media
