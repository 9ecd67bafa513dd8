// The recording level slider: its position is the chosen input line's mix level.
#include "mainwindow/ConverterDialog.h"

void ConverterDialog::OnLevelReleased(NMHDR*, LRESULT* result) {
    ApplyRecordingLevel(m_sliderLevel.GetPos() / 200.0);
    *result = 0;
}

HRESULT ConverterDialog::ApplyRecordingLevel(double level) {
    return ForEachInputLine([level](IAMAudioInputMixer* mixer) {
        mixer->put_MixLevel(level);
        return mixer->put_Enable(TRUE);
    });
}
