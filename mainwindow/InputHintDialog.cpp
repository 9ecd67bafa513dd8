#include "mainwindow/InputHintDialog.h"

#include "app/Settings.h"
#include "platform/DataExchange.h"
#include "platform/WinApp.h"
#include "res/ResourceIds.h"

BEGIN_MESSAGE_MAP(InputHintDialog, CDialog)
END_MESSAGE_MAP()

InputHintDialog::InputHintDialog() : CDialog(IDD_INPUT_HINT) {}

void InputHintDialog::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Check(dx, IDC_ONLY_ONCE, m_bOnlyOnce);
}

BOOL InputHintDialog::OnInitDialog() {
    // The box starts ticked: the framework puts the member into it.
    CDialog::OnInitDialog();
    return TRUE;
}

void InputHintDialog::OnOK() {
    UpdateData(TRUE);
    AfxGetApp()->WriteProfileInt(kSettingsSection, kKeyHintOnlyOnce, m_bOnlyOnce);
    CDialog::OnOK();
}
