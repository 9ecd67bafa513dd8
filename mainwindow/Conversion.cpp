// Convert and Stop, and the used-time counter on the status line.
#include "mainwindow/ConverterDialog.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "player/PreviewPlayer.h"
#include "res/ResourceIds.h"

namespace {

const char kStartErrorText[] =
    "1. Your audio hardware may be used by other program. Please exit the program.\n"
    "2. Or your audio hardware has unknown problem. The program can not start converting.\n"
    "3. Or the output wav file is played by other program now. Please exit the program.\n"
    "4. Or the output wav file has incorrect directory name.";

}  // namespace

BOOL ConverterDialog::FileExists(LPCSTR path) { return CanOpenForReading(path); }

void ConverterDialog::OnConvert() {
    // The file of the previous conversion goes only once a new recording can be made: a
    // Convert that cannot record must not destroy the last one.
    CString previous = m_strOutput;
    UpdateData(TRUE);
    if (FAILED(AttachWavWriter())) return;
    if (FileExists(previous)) DeleteFile(previous);
    bool runFailed = false;
    if (m_pMC) {
        if (FAILED(m_pMC->Run())) {
            runFailed = true;
            MessageBox(kStartErrorText, "Start Converting Error", MB_OK);
        }
        SetStatus("Status : Converting - Used Time: 00:00:00");
        m_nElapsed = 0;
        SetTimer(kConversionTimer, 1000, nullptr);
        if (g_pPlayer) g_pPlayer->PlayMedia();
    }
    m_bConverting = TRUE;
    m_btnConvert.EnableWindow(FALSE);
    m_btnPlay.EnableWindow(FALSE);
    m_btnOpen.EnableWindow(FALSE);
    if (runFailed) PostMessage(WM_COMMAND, IDC_STOP, 0);
}

void ConverterDialog::OnStop() {
    if (!m_bConverting) return;
    if (g_pPlayer) g_pPlayer->StopMedia();
    if (m_pMC) m_pMC->StopWhenReady();
    KillTimer(kConversionTimer);
    m_nElapsed = 0;
    DetachWavWriter();
    m_bConverting = FALSE;
    EnableControls(TRUE);
    SetStatus("Status : Ready");
}

void ConverterDialog::OnTimer(UINT_PTR id) {
    if (id == kConversionTimer) {
        ++m_nElapsed;
        int hours = m_nElapsed / 3600;
        int minutes = (m_nElapsed % 3600) / 60;
        int seconds = m_nElapsed - 3600 * hours - 60 * minutes;
        CString text;
        text.Format("Status : Converting - Used Time: %02d:%02d:%02d", hours, minutes, seconds);
        SetStatus(text);
    }
    CDialog::OnTimer(id);
}
