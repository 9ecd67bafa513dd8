#pragma once
// The main window: the controls the user works with, the conversion state, the capture
// engine's state and the loaded MIDI file.

#include "platform/AfxControls.h"
#include "platform/AfxGdi.h"
#include <functional>

#include "controls/ColorLabel.h"
#include "controls/ImageButton.h"
#include "media/DShow.h"
#include "platform/Dialog.h"

class PreviewPlayer;

// Posted by the player once a second.
constexpr UINT WM_PLAYER_TICK = WM_USER + 3;
// Posted by the capture graph when it has events.
constexpr UINT WM_GRAPHNOTIFY_CAPTURE = WM_APP + 1;
// The conversion's used-time counter.
constexpr UINT_PTR kConversionTimer = 1113;

class ConverterDialog : public CDialog {
public:
    ConverterDialog();
    ~ConverterDialog() override;

    // Operations other parts of the window use.
    void SetStatus(LPCSTR text);
    void EnableControls(BOOL enable);
    void DisableFileControls();

    // Start-up and shutdown.
    BOOL OnInitDialog() override;
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnClose();
    void OnDestroy();
    void OnPlayerTick();
    void PaintTiledBackground(HDC hdc);

    // Conversion control.
    void OnConvert();
    void OnStop();
    void OnTimer(UINT_PTR id);
    BOOL FileExists(LPCSTR path);

    // Source and output files.
    void OnOpen();
    void OnBrowse();
    void OnPlay();
    void OnCloseMidi();
    BOOL ProbeMidiLength(LPCSTR path, int64_t* length);
    BOOL MakeDisplayName(LPCSTR path, CString& name);
    BOOL CreatePlayer(char* path);
    void ReleasePlayer();

    void OnLevelReleased(NMHDR* header, LRESULT* result);

    // Auxiliary commands.
    void OnAbout();
    void OnHomepage();
    void OnHelpButton();
    void ShowInputHint();

    // Control look.
    void StyleButtons();

    // Recording level.
    HRESULT ApplyRecordingLevel(double level);

    // Capture devices and input lines.
    HRESULT SetUpCaptureEngine();
    void ClearCaptureState();
    HRESULT OpenCaptureGraph();
    void CloseCaptureGraph();
    HRESULT ReopenCaptureGraph();
    HRESULT ListCaptureDevices();
    void SelectCaptureDevice();
    HRESULT ListInputLines(IBaseFilter* filter, PIN_DIRECTION direction, CComboBox& list);
    HRESULT SelectInputLine();
    HRESULT ActivateInputLine();
    HRESULT ShowInputLevel(IAMAudioInputMixer* mixer);
    HRESULT FindNthPin(IBaseFilter* filter, PIN_DIRECTION direction, int n, IPin** pin);
    // Walks the listed input lines that have a mixer: `chosen` runs on the selected line,
    // every other line is disabled. Sets nCapturePinIndex to the selection; the result is
    // that of the last mixer call.
    HRESULT ForEachInputLine(const std::function<HRESULT(IAMAudioInputMixer*)>& chosen);
    void EmptyDeviceList();
    void EmptyInputLineList();

    // Capture graph.
    HRESULT AttachWavWriter();
    HRESULT DetachWavWriter();
    void TearDownCaptureEngine();
    void DebugTrace(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Graph events.
    HRESULT DrainCaptureEvents();

    // The capture graph; each pointer holds one reference or is null.
    IGraphBuilder* m_pGB = nullptr;
    IMediaControl* m_pMC = nullptr;
    IMediaEventEx* m_pME = nullptr;
    IBaseFilter* m_pDeviceFilter = nullptr;
    IBaseFilter* m_pWavDestFilter = nullptr;
    IBaseFilter* m_pFileWriterFilter = nullptr;

    CString m_strOutput;      // output WAV path, the text of the output box
    CString m_strLastFolder;  // folder of the last chosen output file, with its trailing '/'
    char m_szMidiFile[260];
    int64_t m_llMidiLength = 0;
    int m_nMidiSeconds = 0;
    int m_nElapsed = 0;
    BOOL m_bConverting = FALSE;
    BOOL m_bNoHint = TRUE;
    HINSTANCE m_hInstance = nullptr;
    HICON m_hIcon = nullptr;

    CEdit m_editOutput;
    ImageButton m_btnConvert, m_btnOpen, m_btnStop, m_btnPlay, m_btnBrowse, m_btnHomepage, m_btnAbout, m_btnHelp;
    ColorLabel m_lblInputLine, m_lblDevice, m_lblOutput, m_lblVolume, m_lblMax;
    CStatic m_status;
    CComboBox m_comboDevices, m_comboInputLines;
    CSliderCtrl m_sliderLevel;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    DECLARE_MESSAGE_MAP()
};

// The part of a path up to and including its last '/', or "" when it has none.
CString FolderOf(const CString& path);

extern PreviewPlayer* g_pPlayer;  // the player of the loaded MIDI file, or null
extern CBitmap* g_pBackground;    // the window's background tile
extern int g_nDeviceCount;        // capture devices the last listing added
