// About, Homepage and Help.
#include "mainwindow/ConverterDialog.h"

void ConverterDialog::OnAbout() {
    // FIXME: the About box is not built yet.
}

void ConverterDialog::OnHomepage() {
    // FIXME: the web site is not opened yet.
}

void ConverterDialog::OnHelpButton() {
    // FIXME: the help page is not opened yet.
}

void ConverterDialog::ShowInputHint() {
    // FIXME: the input-device hint dialog is not built yet; choices go on without it.
}
