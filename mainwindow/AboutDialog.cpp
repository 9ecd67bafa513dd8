#include "mainwindow/AboutDialog.h"

#include "platform/DataExchange.h"
#include "res/ResourceIds.h"

BEGIN_MESSAGE_MAP(AboutDialog, CDialog)
END_MESSAGE_MAP()

AboutDialog::AboutDialog() : CDialog(IDD_ABOUT) {}

void AboutDialog::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_LINK_SUPPORT, m_linkSupport);
    DDX_Control(dx, IDC_LINK_HOME, m_linkHome);
}

BOOL AboutDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_linkHome.SetLink(kMakerSite);
    m_linkHome.SetUnderlineMode(HyperLink::UnderlineAlways);
    m_linkSupport.SetLink(kMakerContactPage);
    m_linkSupport.SetUnderlineMode(HyperLink::UnderlineAlways);
    return TRUE;
}
