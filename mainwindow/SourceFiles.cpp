// The MIDI file to convert and the WAV file to write.
#include "mainwindow/ConverterDialog.h"

void ConverterDialog::OnOpen() {
    // FIXME: opening a MIDI file is not possible yet.
}

void ConverterDialog::OnBrowse() {
    // FIXME: choosing the output file is not possible yet.
}

void ConverterDialog::OnPlay() {
    // FIXME: playing the output file is not possible yet.
}

void ConverterDialog::OnCloseMidi() {
    // FIXME: no MIDI file can be loaded yet, so there is nothing to unload.
}

void ConverterDialog::ReleasePlayer() {
    // FIXME: no player exists yet; the window still repaints as after a release.
    InvalidateRect(nullptr, FALSE);
}
