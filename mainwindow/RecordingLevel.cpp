// The recording level slider: its position is the chosen input line's mix level.
#include "app/Settings.h"
#include "mainwindow/ConverterDialog.h"

void ConverterDialog::OnLevelReleased(NMHDR*, LRESULT* result) {
    ApplyRecordingLevel(m_sliderLevel.GetPos() / 200.0);
    *result = 0;
}

HRESULT ConverterDialog::ApplyRecordingLevel(double level) {
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
        if (i == selected) {
            hr = mixer->put_MixLevel(level);
            hr = mixer->put_Enable(TRUE);
        } else {
            hr = mixer->put_Enable(FALSE);
        }
        mixer->Release();
        pin->Release();
    }
    return hr;
}
