// The recording level slider.
#include "mainwindow/ConverterDialog.h"

void ConverterDialog::OnLevelReleased(NMHDR*, LRESULT* result) {
    // FIXME: no input line is bound yet, so the level goes nowhere.
    *result = 0;
}
