// Capture devices and input lines: the device list, the input-line list, the automatic
// choice of the loopback line and the one enabled line on the device's mixer.
#include <cstring>

#include "app/Settings.h"
#include "platform/MessageBox.h"
#include "mainwindow/ConverterDialog.h"
#include "res/ResourceIds.h"

namespace {

constexpr DWORD kContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

// Names of the line that records what the card plays, as sound drivers call it.
const char* const kLoopbackKeywords[] = {"wave", "stereo", "mix", "what u hear", "output"};

const char kNoDevicesText[] =
    "There were no audio capture devices detected on this system.\r\n\r\n"
    "If your system has an audio capture device (sound card, video camera, etc.),\r\n"
    "then make sure that it is working properly and that you are not running\r\n"
    "this program through a Windows XP Remote Desktop connection.\r\n\r\n"
    "This program will now exit.";

bool IsLoopbackName(const char* name) {
    char lower[256];
    strncpy(lower, name, sizeof(lower) - 1);
    lower[sizeof(lower) - 1] = '\0';
    for (char* c = lower; *c; ++c)
        if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
    for (const char* keyword : kLoopbackKeywords)
        if (strstr(lower, keyword)) return true;
    return false;
}

std::string Narrow(const WCHAR* wide) {
    char buffer[260];
    int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, sizeof(buffer), nullptr, nullptr);
    if (n <= 0) return std::string();
    return buffer;
}

}  // namespace

HRESULT ConverterDialog::SetUpCaptureEngine() {
    ClearCaptureState();
    HRESULT hr = OpenCaptureGraph();
    if (FAILED(hr)) return hr;
    return ListCaptureDevices();
}

void ConverterDialog::ClearCaptureState() {
    m_pGB = nullptr;
    m_pMC = nullptr;
    m_pME = nullptr;
    m_pDeviceFilter = nullptr;
    m_pWavDestFilter = nullptr;
    m_pFileWriterFilter = nullptr;
    m_editOutput.SetWindowText(m_strOutput);
}

HRESULT ConverterDialog::OpenCaptureGraph() {
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, kContext, IID_IGraphBuilder, reinterpret_cast<void**>(&m_pGB));
    if (FAILED(hr) || !m_pGB) return E_NOINTERFACE;
    hr = m_pGB->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&m_pMC));
    if (FAILED(hr)) {
        DebugTrace("FAILED(0x%x) hr = m_pGB->QueryInterface(IID_IMediaControl, (void **)&m_pMC)\n", static_cast<unsigned>(hr));
        return hr;
    }
    hr = m_pGB->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&m_pME));
    if (FAILED(hr)) {
        DebugTrace("FAILED(0x%x) hr = m_pGB->QueryInterface(IID_IMediaEventEx, (void **)&m_pME)\n", static_cast<unsigned>(hr));
        return hr;
    }
    return m_pME->SetNotifyWindow(reinterpret_cast<OAHWND>(m_hWnd), WM_GRAPHNOTIFY_CAPTURE, 0);
}

void ConverterDialog::CloseCaptureGraph() {
    if (m_pME) m_pME->SetNotifyWindow(0, 0, 0);
    auto release = [](auto*& pointer) {
        if (pointer) {
            pointer->Release();
            pointer = nullptr;
        }
    };
    release(m_pMC);
    release(m_pME);
    release(m_pFileWriterFilter);
    release(m_pWavDestFilter);
    release(m_pDeviceFilter);
    release(m_pGB);
}

HRESULT ConverterDialog::ReopenCaptureGraph() {
    EmptyInputLineList();
    CloseCaptureGraph();
    return OpenCaptureGraph();
}

HRESULT ConverterDialog::ListCaptureDevices() {
    ICreateDevEnum* devices = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, kContext, IID_ICreateDevEnum, reinterpret_cast<void**>(&devices));
    if (FAILED(hr)) return hr;
    IEnumMoniker* monikers = nullptr;
    hr = devices->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, &monikers, 0);
    if (FAILED(hr)) {
        devices->Release();
        return hr;
    }
    HRESULT listing = S_OK;
    if (!monikers) {
        m_comboDevices.AddString("<< No entries >>");
        listing = S_FALSE;
    } else {
        int counted = 0;
        IMoniker* moniker = nullptr;
        while (monikers->Next(1, &moniker, nullptr) == S_OK) {
            IPropertyBag* bag = nullptr;
            HRESULT step = moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag));
            if (SUCCEEDED(step)) {
                VARIANT name;
                VariantInit(&name);
                name.vt = VT_BSTR;
                step = bag->Read(u"FriendlyName", &name, nullptr);
                if (SUCCEEDED(step)) {
                    std::string text = Narrow(name.bstrVal);
                    VariantClear(&name);
                    ++counted;
                    int entry = m_comboDevices.AddString(text.c_str());
                    m_comboDevices.SetItemDataPtr(entry, moniker);  // the entry owns this reference now
                    moniker = nullptr;
                }
                bag->Release();
            }
            if (moniker) moniker->Release();  // a device whose name cannot be read is left out
            moniker = nullptr;
        }
        g_nDeviceCount = counted;
        if (g_nDeviceCount <= 1) m_comboDevices.ShowWindow(SW_HIDE);
        // A device that cannot be read is only left out: the others still make a listing.
        listing = counted > 0 ? S_OK : S_FALSE;
        monikers->Release();
    }
    devices->Release();
    if (FAILED(listing)) return listing;
    if (listing == S_FALSE) {
        MessageBox(kNoDevicesText, "No audio capture hardware!", MB_ICONERROR);
        return E_FAIL;
    }
    // With a single device the list is hidden and cannot be used: that device is taken
    // even when the saved position points elsewhere.
    int index = nSoundCaptureIndex;
    if (g_nDeviceCount == 1 && (index < 0 || index >= g_nDeviceCount)) index = 0;
    m_comboDevices.SetCurSel(index);
    SelectCaptureDevice();
    return listing;
}

void ConverterDialog::SelectCaptureDevice() {
    if (m_pDeviceFilter) ReopenCaptureGraph();
    nSoundCaptureIndex = m_comboDevices.GetCurSel();
    if (nSoundCaptureIndex < 0) return;
    void* data = m_comboDevices.GetItemDataPtr(nSoundCaptureIndex);
    if (!data || data == reinterpret_cast<void*>(static_cast<intptr_t>(-1))) return;
    auto* moniker = static_cast<IMoniker*>(data);
    if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&m_pDeviceFilter)))) return;
    if (!m_pGB || FAILED(m_pGB->AddFilter(m_pDeviceFilter, u"Audio Capture"))) return;
    if (FAILED(ListInputLines(m_pDeviceFilter, PINDIR_INPUT, m_comboInputLines))) return;
    m_comboInputLines.SetCurSel(nCapturePinIndex);
    SelectInputLine();
}

HRESULT ConverterDialog::ListInputLines(IBaseFilter* filter, PIN_DIRECTION direction, CComboBox& list) {
    list.ResetContent();
    if (!filter) return E_NOINTERFACE;
    IEnumPins* pins = nullptr;
    HRESULT hr = filter->EnumPins(&pins);
    if (FAILED(hr)) {
        list.AddString("<ERROR>");
        return hr;
    }
    pins->Reset();
    int line = 0;
    IPin* pin = nullptr;
    while ((hr = pins->Next(1, &pin, nullptr)) == S_OK) {
        PIN_DIRECTION pinDirection;
        if (FAILED(pin->QueryDirection(&pinDirection))) {
            list.AddString("<ERROR>");
            pin->Release();
            continue;
        }
        if (pinDirection != direction) {
            pin->Release();
            continue;
        }
        PIN_INFO info;
        if (FAILED(pin->QueryPinInfo(&info))) {
            pin->Release();
            continue;
        }
        std::string name = Narrow(info.achName);
        list.AddString(name.c_str());
        if (nSearchFlag == 0 && IsLoopbackName(name.c_str())) {
            nCapturePinIndex = line;
            nSearchFlag = 1;
        }
        ++line;
        if (info.pFilter) info.pFilter->Release();
        pin->Release();
    }
    pins->Release();
    return hr;
}

HRESULT ConverterDialog::SelectInputLine() {
    if (!m_bNoHint) ShowInputHint();
    OnStop();
    return ActivateInputLine();
}

HRESULT ConverterDialog::ActivateInputLine() {
    return ForEachInputLine([this](IAMAudioInputMixer* mixer) {
        ShowInputLevel(mixer);
        return mixer->put_Enable(TRUE);
    });
}

HRESULT ConverterDialog::ForEachInputLine(const std::function<HRESULT(IAMAudioInputMixer*)>& chosen) {
    int count = m_comboInputLines.GetCount();
    int selected = m_comboInputLines.GetCurSel();
    nCapturePinIndex = selected;
    HRESULT hr = S_OK;
    for (int i = 0; i < count; ++i) {
        IPin* pin = nullptr;
        if (FAILED(FindNthPin(m_pDeviceFilter, PINDIR_INPUT, i, &pin))) continue;
        IAMAudioInputMixer* mixer = nullptr;
        if (FAILED(pin->QueryInterface(IID_IAMAudioInputMixer, reinterpret_cast<void**>(&mixer)))) {
            pin->Release();
            continue;
        }
        hr = i == selected ? chosen(mixer) : mixer->put_Enable(FALSE);
        mixer->Release();
        pin->Release();
    }
    return hr;
}

HRESULT ConverterDialog::ShowInputLevel(IAMAudioInputMixer* mixer) {
    double level = 0.0;
    mixer->get_MixLevel(&level);
    m_sliderLevel.SetPos(static_cast<int>(level * 200));
    return S_OK;
}

HRESULT ConverterDialog::FindNthPin(IBaseFilter* filter, PIN_DIRECTION direction, int n, IPin** found) {
    *found = nullptr;
    if (!filter) return E_POINTER;
    IEnumPins* pins = nullptr;
    HRESULT hr = filter->EnumPins(&pins);
    if (FAILED(hr)) return hr;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION pinDirection;
        if (SUCCEEDED(pin->QueryDirection(&pinDirection)) && pinDirection == direction) {
            if (n == 0) {
                *found = pin;  // the caller releases it
                pins->Release();
                return S_OK;
            }
            --n;
        }
        pin->Release();
    }
    pins->Release();
    return E_FAIL;
}

void ConverterDialog::EmptyDeviceList() {
    int count = m_comboDevices.GetCount();
    for (int i = 0; i < count; ++i) {
        void* data = m_comboDevices.GetItemDataPtr(i);
        if (data && data != reinterpret_cast<void*>(static_cast<intptr_t>(-1))) static_cast<IMoniker*>(data)->Release();
        m_comboDevices.SetItemDataPtr(i, nullptr);
    }
    m_comboDevices.ResetContent();
}

void ConverterDialog::EmptyInputLineList() { m_comboInputLines.ResetContent(); }
