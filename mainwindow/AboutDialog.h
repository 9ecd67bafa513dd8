#pragma once
// The About box with its two links to the maker's site.

#include "controls/HyperLink.h"
#include "platform/Dialog.h"

class AboutDialog : public CDialog {
public:
    AboutDialog();
    ~AboutDialog() override = default;

    HyperLink m_linkSupport;
    HyperLink m_linkHome;

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    DECLARE_MESSAGE_MAP()
};
