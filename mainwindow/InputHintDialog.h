#pragma once
// How to pick the line that records what the sound card plays; can be told not to come back.

#include "platform/Dialog.h"

class InputHintDialog : public CDialog {
public:
    InputHintDialog();
    ~InputHintDialog() override = default;

    BOOL m_bOnlyOnce = TRUE;  // "Do not show the message in the future"

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    DECLARE_MESSAGE_MAP()
};
