#pragma once
// Data exchange between a dialog's controls and its members.
// Imitates: DDX_Control attaching a member object to the control on the first exchange,
// DDX_Text and DDX_Check copying in the direction the exchange asks for.
// Leaves out: validation (DDV_*) and failing exchanges.

#include "platform/Wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;  // TRUE: controls into members; FALSE: members into controls
};

void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Check(CDataExchange* dx, int id, BOOL& value);
