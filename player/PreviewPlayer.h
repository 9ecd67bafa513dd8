#pragma once
// The media player: plays one file through a playback graph of its own, behind its own
// window ("PreviewWindow"), hidden for sound and shown for a clip with a picture. It
// tells the main window each second that it is alive, and when the file has played to
// its end.

#include "media/DShow.h"
#include "platform/Messages.h"

enum PlayerState : int32_t { Stopped = 0, Paused = 1, Running = 2, NoMedia = 3 };

constexpr UINT WM_GRAPHNOTIFY_PLAYER = WM_USER + 13;
constexpr UINT_PTR kPlayerTimer = 2;
constexpr UINT kPlayerMenu = 145;
constexpr UINT kPlayerPlay = 32771;
constexpr UINT kPlayerPause = 32772;
constexpr UINT kPlayerStop = 32773;
constexpr UINT kPlayerClose = 32774;

class PreviewPlayer {
public:
    PreviewPlayer(HINSTANCE instance, HWND mainWindow);
    virtual ~PreviewPlayer();
    PreviewPlayer(const PreviewPlayer&) = delete;
    PreviewPlayer& operator=(const PreviewPlayer&) = delete;

    bool OpenMedia();
    void PlayMedia();
    void PauseMedia();
    void StopMedia();
    void CloseMedia();

    void DrainPlayerEvents();
    void PollPosition();
    void RefreshCaption();

    // The player window.
    HRESULT AttachVideoWindow();
    HRESULT InitVideoWindow(int multiplier, int divider);
    void FitVideoToClient();
    void ToggleTopmost();
    void ShowPlayerMenu(int x, int y);

    HWND m_hMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    char m_szFile[260];
    BOOL m_bAudioOnly = FALSE;
    PlayerState m_eState = NoMedia;
    IVideoWindow* pVW = nullptr;
    BOOL m_bVideoShown = FALSE;
    IBasicVideo* pBV = nullptr;
    IGraphBuilder* pGB = nullptr;
    IMediaControl* pMC = nullptr;
    IMediaEventEx* pME = nullptr;
    IBasicAudio* pBA = nullptr;
    IMediaSeeking* pMS = nullptr;
    HWND m_hWnd = nullptr;
    bool m_bWindowCreated = false;
    int64_t m_llCurrent = 0;
    int64_t m_llStop = 0;

private:
    bool GetClipFileName(char* file);
    void CreatePlayerWindow();
    HRESULT BuildPlaybackGraph();
    void DetectAudioOnly();
    void DestroyPlayerWindow();
    void ReleasePlaybackGraph();
    void ShowPlayerMessage(const char* format, ...) __attribute__((format(printf, 2, 3)));
    friend LRESULT PlayerWindowProc(HWND, UINT, WPARAM, LPARAM);
};

LRESULT PlayerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
