// The look of the main window's buttons.
#include "mainwindow/ConverterDialog.h"
#include "res/ResourceIds.h"

void ConverterDialog::StyleButtons() {
    struct IconButton {
        ImageButton* button;
        int icon;
        const char* tip;
    };
    const IconButton iconButtons[] = {
        {&m_btnOpen, IDI_OPEN, "Open an MIDI file"},
        {&m_btnConvert, IDI_CONVERT, "Start converting"},
        {&m_btnStop, IDI_STOP, "Stop converting"},
    };
    for (const IconButton& b : iconButtons) {
        b.button->LoadIcons(b.icon, 0);
        b.button->UseParentBackground(FALSE);
        b.button->SetHoverCursor(IDC_HAND_CURSOR, TRUE);
        b.button->SetTip(b.tip, TRUE);
        b.button->SetImagePlacement(ImageButton::ImageLeft, TRUE);
        b.button->SetFlatStyle(FALSE, TRUE);
    }

    struct TextButton {
        ImageButton* button;
        const char* tip;
    };
    const TextButton textButtons[] = {
        {&m_btnBrowse, "Browse"},     {&m_btnPlay, "Play the wave file"}, {&m_btnHomepage, "Homepage"},
        {&m_btnAbout, "About"},       {&m_btnHelp, "Help"},
    };
    // The text buttons keep the flat look.
    for (const TextButton& b : textButtons) {
        b.button->UseParentBackground(FALSE);
        b.button->SetHoverCursor(IDC_HAND_CURSOR, TRUE);
        b.button->SetTip(b.tip, TRUE);
        b.button->SetImagePlacement(ImageButton::ImageAbove, TRUE);
    }
}
