// The recording chain of the capture graph: the WAV writer and the file writer, attached
// for each conversion and taken out again, and the engine's full teardown.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "mainwindow/ConverterDialog.h"
#include "platform/Debug.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Unicode.h"
#include "res/ResourceIds.h"

namespace {

constexpr DWORD kContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

// Cuts a UTF-8 text to at most `limit` bytes without splitting a letter.
void CutToBytes(char* text, size_t limit) { text[Utf8PrefixLength(text, limit)] = '\0'; }

}  // namespace

HRESULT ConverterDialog::AttachWavWriter() {
    HRESULT hr = CoCreateInstance(CLSID_WavDest, nullptr, kContext, IID_IBaseFilter, reinterpret_cast<void**>(&m_pWavDestFilter));
    if (FAILED(hr)) {
        MessageBox("The program does not detect its file writer. Please install the program again!", "Error", MB_OK);
        return E_NOINTERFACE;
    }
    IFileSinkFilter2* sink = nullptr;
    hr = CoCreateInstance(CLSID_FileWriter, nullptr, kContext, IID_IFileSinkFilter2, reinterpret_cast<void**>(&sink));
    if (FAILED(hr)) return E_NOINTERFACE;
    hr = sink->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&m_pFileWriterFilter));
    if (FAILED(hr)) {
        sink->Release();
        return E_NOINTERFACE;
    }
    if (!m_pGB) {
        sink->Release();
        return E_FAIL;  // the device went away: there is no graph to record with
    }
    hr = m_pGB->AddFilter(m_pWavDestFilter, u"WAV Dest");
    if (FAILED(hr)) {
        sink->Release();
        return hr;
    }
    hr = m_pGB->AddFilter(m_pFileWriterFilter, u"File Writer");
    if (FAILED(hr)) {
        sink->Release();
        return hr;
    }
    sink->SetMode(AM_FILE_OVERWRITE);

    char name[260];
    m_editOutput.GetWindowText(name, sizeof(name));
    if (name[0] == '\0') {
        CString fallback = GetHomeFolder() + "sonovert.wav";
        strncpy(name, fallback, sizeof(name) - 1);
        name[sizeof(name) - 1] = '\0';
    }
    CutToBytes(name, 259);
    WCHAR wideName[260];
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 260) <= 0) wideName[0] = 0;
    wideName[259] = 0;

    hr = sink->SetFileName(wideName, nullptr);
    if (FAILED(hr)) {
        sink->Release();
        return hr;
    }
    IPin* output = nullptr;
    hr = FindNthPin(m_pDeviceFilter, PINDIR_OUTPUT, 0, &output);
    if (output) {
        hr = m_pGB->Render(output);
        output->Release();
    }
    sink->Release();
    return hr;
}

HRESULT ConverterDialog::DetachWavWriter() {
    HRESULT hr = S_OK;
    for (IBaseFilter** filter : {&m_pWavDestFilter, &m_pFileWriterFilter}) {
        if (!*filter) continue;
        hr = m_pGB ? m_pGB->RemoveFilter(*filter) : E_FAIL;
        (*filter)->Release();
        *filter = nullptr;
    }
    return hr;
}

void ConverterDialog::TearDownCaptureEngine() {
    EmptyDeviceList();
    EmptyInputLineList();
    DetachWavWriter();
    CloseCaptureGraph();
}

void ConverterDialog::DebugTrace(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    buffer[sizeof(buffer) - 1] = '\0';
    OutputDebugStringA(buffer);
}
