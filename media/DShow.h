#pragma once
// The media interfaces the program uses: filter graphs, filters, pins, the device
// enumerator and its monikers, the input mixer of a capture device, the file writer,
// seeking, events and the video window.
// Imitates: the COM interface shapes, HRESULT results, 100-ns media times, event codes and
// the WAV writer's class identifier the program relies on. Leaves out: every method the
// program never calls (they are not declared), allocators, media sample interfaces,
// custom filters written by the program.

#include "platform/Com.h"
#include "platform/Unicode.h"
#include "platform/Variant.h"

typedef intptr_t LONG_PTR;
typedef LONG_PTR OAHWND;
typedef long OAFilterState;
typedef const WCHAR* LPCOLESTR;
typedef WCHAR* LPOLESTR;

constexpr long OATRUE = -1;
constexpr long OAFALSE = 0;

// Graph states.
constexpr OAFilterState State_Stopped = 0;
constexpr OAFilterState State_Paused = 1;
constexpr OAFilterState State_Running = 2;

// Event codes.
constexpr long EC_COMPLETE = 0x01;
constexpr long EC_USERABORT = 0x02;
constexpr long EC_ERRORABORT = 0x03;
constexpr long EC_DEVICE_LOST = 0x1F;

// Failures a caller may tell apart.
constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHResult(0x80040209);
constexpr HRESULT VFW_E_NOT_FOUND = MakeHResult(0x80040216);
constexpr HRESULT VFW_E_CANNOT_RENDER = MakeHResult(0x80040218);
constexpr HRESULT VFW_E_WRONG_STATE = MakeHResult(0x80040227);
constexpr HRESULT VFW_E_TIMEOUT = MakeHResult(0x8004022E);
constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = MakeHResult(0x8004022F);
constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = MakeHResult(0x80040240);
constexpr HRESULT VFW_E_NO_AUDIO_HARDWARE = MakeHResult(0x80040256);
constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHResult(0x80040217);
constexpr HRESULT E_FILE_NOT_FOUND = MakeHResult(0x80070002);
constexpr HRESULT E_PATH_NOT_FOUND = MakeHResult(0x80070003);
constexpr HRESULT S_STATE_TRANSITION = 0x00040237;

// Seeking.
constexpr DWORD AM_SEEKING_NoPositioning = 0x0;
constexpr DWORD AM_SEEKING_AbsolutePositioning = 0x1;
constexpr DWORD AM_SEEKING_RelativePositioning = 0x2;

// File writer modes.
constexpr DWORD AM_FILE_OVERWRITE = 0x1;

// Window styles the video window takes.
constexpr long VIDEO_WS_CHILD = 0x40000000;
constexpr long VIDEO_WS_CAPTION = 0x00C00000;
constexpr long VIDEO_WS_THICKFRAME = 0x00040000;

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

struct IBaseFilter;
struct IFilterGraph;
struct IPin;

struct PIN_INFO {
    IBaseFilter* pFilter;  // holds a reference the caller releases
    PIN_DIRECTION dir;
    WCHAR achName[128];
};

struct FILTER_INFO {
    WCHAR achName[128];
    IFilterGraph* pGraph;  // holds a reference the caller releases, or null
};

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
};

// Class identifiers.
extern const CLSID CLSID_FilterGraph;
extern const CLSID CLSID_SystemDeviceEnum;
extern const CLSID CLSID_AudioInputDeviceCategory;
extern const CLSID CLSID_FileWriter;
extern const CLSID CLSID_WavDest;  // {3C78B8E2-6C4D-11D1-ADE2-0000F8754B97}
extern const GUID TIME_FORMAT_MEDIA_TIME;
extern const GUID TIME_FORMAT_NONE;
extern const GUID MEDIATYPE_Audio;
extern const GUID MEDIATYPE_Stream;

// Interface identifiers.
extern const IID IID_IGraphBuilder;
extern const IID IID_IFilterGraph;
extern const IID IID_IMediaControl;
extern const IID IID_IMediaEventEx;
extern const IID IID_IMediaSeeking;
extern const IID IID_IVideoWindow;
extern const IID IID_IBasicVideo;
extern const IID IID_IBasicAudio;
extern const IID IID_IBaseFilter;
extern const IID IID_IEnumPins;
extern const IID IID_IEnumFilters;
extern const IID IID_IPin;
extern const IID IID_ICreateDevEnum;
extern const IID IID_IEnumMoniker;
extern const IID IID_IMoniker;
extern const IID IID_IPropertyBag;
extern const IID IID_IAMAudioInputMixer;
extern const IID IID_IFileSinkFilter;
extern const IID IID_IFileSinkFilter2;

struct IEnumPins : IUnknown {
    // Hands out up to `count` pins, each holding a reference the caller releases.
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
};

struct IBaseFilter : IUnknown {
    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    virtual HRESULT FindPin(LPCWSTR id, IPin** pin) = 0;
};

struct IEnumFilters : IUnknown {
    virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
};

struct IPin : IUnknown {
    virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT ConnectedTo(IPin** other) = 0;
    virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) = 0;
};

struct IFilterGraph : IUnknown {
    virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
    virtual HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
};

struct IGraphBuilder : IFilterGraph {
    virtual HRESULT Render(IPin* pin) = 0;
    virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;
};

struct IMediaControl : IUnknown {
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT StopWhenReady() = 0;
    virtual HRESULT GetState(long timeoutMs, OAFilterState* state) = 0;
};

struct IMediaEventEx : IUnknown {
    virtual HRESULT GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeoutMs) = 0;
    virtual HRESULT FreeEventParams(long code, LONG_PTR param1, LONG_PTR param2) = 0;
    virtual HRESULT SetNotifyWindow(OAHWND window, long message, LONG_PTR instanceData) = 0;
};

struct IMediaSeeking : IUnknown {
    virtual HRESULT IsFormatSupported(const GUID* format) = 0;
    virtual HRESULT GetTimeFormat(GUID* format) = 0;
    virtual HRESULT SetTimeFormat(const GUID* format) = 0;
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
    virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
    virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
    virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) = 0;
    virtual HRESULT SetRate(double rate) = 0;
    virtual HRESULT GetRate(double* rate) = 0;
};

struct IVideoWindow : IUnknown {
    virtual HRESULT put_Owner(OAHWND owner) = 0;
    virtual HRESULT get_Visible(long* visible) = 0;
    virtual HRESULT put_Visible(long visible) = 0;
    virtual HRESULT get_WindowStyle(long* style) = 0;
    virtual HRESULT put_WindowStyle(long style) = 0;
    virtual HRESULT put_MessageDrain(OAHWND drain) = 0;
    virtual HRESULT SetWindowPosition(long left, long top, long width, long height) = 0;
    virtual HRESULT NotifyOwnerMessage(OAHWND window, long message, LONG_PTR wParam, LONG_PTR lParam) = 0;
};

struct IBasicVideo : IUnknown {
    virtual HRESULT GetVideoSize(long* width, long* height) = 0;
};

struct IBasicAudio : IUnknown {
    virtual HRESULT put_Volume(long volume) = 0;
    virtual HRESULT get_Volume(long* volume) = 0;
};

struct IPropertyBag : IUnknown {
    virtual HRESULT Read(LPCOLESTR name, VARIANT* value, void* errorLog) = 0;
};

struct IMoniker : IUnknown {
    virtual HRESULT BindToObject(void* bindContext, IMoniker* left, REFIID riid, void** object) = 0;
    virtual HRESULT BindToStorage(void* bindContext, IMoniker* left, REFIID riid, void** object) = 0;
};

struct IEnumMoniker : IUnknown {
    virtual HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
};

struct ICreateDevEnum : IUnknown {
    // S_FALSE with a null enumerator when the category has no device.
    virtual HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** monikers, DWORD flags) = 0;
};

struct IAMAudioInputMixer : IUnknown {
    virtual HRESULT put_Enable(BOOL enable) = 0;
    virtual HRESULT get_Enable(BOOL* enabled) = 0;
    virtual HRESULT put_MixLevel(double level) = 0;
    virtual HRESULT get_MixLevel(double* level) = 0;
};

struct IFileSinkFilter : IUnknown {
    virtual HRESULT SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) = 0;
    // Hands out a copy the caller frees with CoTaskMemFree.
    virtual HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) = 0;
};

struct IFileSinkFilter2 : IFileSinkFilter {
    virtual HRESULT SetMode(DWORD flags) = 0;
    virtual HRESULT GetMode(DWORD* flags) = 0;
};

void CoTaskMemFree(void* memory);

namespace media {
// Makes the media classes known to CoCreateInstance. Call once at start-up.
void RegisterMediaClasses();
}  // namespace media
