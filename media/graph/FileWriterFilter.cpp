#include "media/graph/FileWriterFilter.h"

#include <cstdlib>
#include <cstring>

namespace media {

FileWriterFilter::FileWriterFilter() { AddPin(std::make_unique<Pin>(this, "in", PINDIR_INPUT, MEDIATYPE_Stream)); }

HRESULT FileWriterFilter::Create(REFIID riid, void** ppv) {
    auto* filter = new FileWriterFilter;
    HRESULT hr = filter->QueryInterface(riid, ppv);
    filter->Release();
    return hr;
}

HRESULT FileWriterFilter::QueryExtra(REFIID riid, void** ppv) {
    if (riid == IID_IFileSinkFilter || riid == IID_IFileSinkFilter2) return HandOut(static_cast<IFileSinkFilter2*>(this), ppv);
    return E_NOINTERFACE;
}

HRESULT FileWriterFilter::SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE*) {
    if (!fileName) return E_POINTER;
    std::string name = Utf16ToUtf8(fileName);
    if (name.empty()) return E_INVALIDARG;
    m_fileName = name;
    return S_OK;
}

HRESULT FileWriterFilter::GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) {
    if (!fileName) return E_POINTER;
    *fileName = nullptr;
    if (type) *type = AM_MEDIA_TYPE{MEDIATYPE_Stream, GUID{}};
    if (m_fileName.empty()) return S_OK;
    std::u16string wide = Utf8ToUtf16(m_fileName);
    auto* copy = static_cast<WCHAR*>(malloc((wide.size() + 1) * sizeof(WCHAR)));
    if (!copy) return E_OUTOFMEMORY;
    memcpy(copy, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    *fileName = copy;
    return S_OK;
}

HRESULT FileWriterFilter::SetMode(DWORD flags) {
    if (flags & ~AM_FILE_OVERWRITE) return E_INVALIDARG;
    m_mode = flags;
    return S_OK;
}

HRESULT FileWriterFilter::GetMode(DWORD* flags) {
    if (!flags) return E_POINTER;
    *flags = m_mode;
    return S_OK;
}

GstElement* FileWriterFilter::CreateElement(std::string* error) {
    if (m_fileName.empty()) {
        if (error) *error = "the file writer has no file name";
        return nullptr;
    }
    GstElement* sink = gst_element_factory_make("filesink", nullptr);
    if (!sink) {
        if (error) *error = "the file sink (filesink) is missing";
        return nullptr;
    }
    // Without overwrite mode the file is still written from its start: a recording that
    // left old bytes behind its end would not be a valid WAV file.
    g_object_set(sink, "location", m_fileName.c_str(), "append", FALSE, "async", FALSE, nullptr);
    return sink;
}

}  // namespace media

void CoTaskMemFree(void* memory) { free(memory); }
