#pragma once
// The file writer: writes the byte stream it receives to the file it was given,
// overwriting what was there. GUI thread only.

#include <string>

#include "media/graph/Filter.h"

namespace media {

class FileWriterFilter final : public Filter, public IFileSinkFilter2 {
public:
    // One reference for the caller.
    static HRESULT Create(REFIID riid, void** ppv);

    HRESULT QueryInterface(REFIID riid, void** ppv) override { return Filter::QueryInterface(riid, ppv); }
    ULONG AddRef() override { return Filter::AddRef(); }
    ULONG Release() override { return Filter::Release(); }
    HRESULT SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
    HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;
    HRESULT SetMode(DWORD flags) override;
    HRESULT GetMode(DWORD* flags) override;

    GstElement* CreateElement(std::string* error) override;
    const std::string& fileName() const { return m_fileName; }

protected:
    HRESULT QueryExtra(REFIID riid, void** ppv) override;

private:
    FileWriterFilter();
    std::string m_fileName;  // UTF-8
    DWORD m_mode = 0;
};

}  // namespace media
