// The look of the main window's buttons.
#include "mainwindow/ConverterDialog.h"

void ConverterDialog::StyleButtons() {
    // FIXME: the buttons keep the toolkit's look until the image buttons exist.
}
