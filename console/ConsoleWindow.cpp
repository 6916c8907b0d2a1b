// The console on its window: data exchange, initialisation, the system menu, icons and painting.
#include "app/AboutDlg.h"
#include "console/WeighConsoleDlg.h"

BEGIN_MESSAGE_MAP(CWeighConsoleDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_OPEN_DEVICE, OnOpenDevice)
    ON_BN_CLICKED(IDC_READ_WEIGHT, OnReadWeight)
    ON_BN_CLICKED(IDCANCEL, OnDirectIO)
    ON_BN_CLICKED(IDC_CLOSE_DEVICE, OnCloseDevice)
    ON_WM_TIMER()
END_MESSAGE_MAP()

void CWeighConsoleDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_GAUGE, m_gauge);
    DDX_Control(pDX, IDC_SCALE, m_scale);
    DDX_Check(pDX, IDC_LOOP, m_bLoop);
}

BOOL CWeighConsoleDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu != nullptr) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_fontWeight.CreateFont(74, 26, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_STROKE_PRECIS,
                            CLIP_STROKE_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
    GetDlgItem(IDC_WEIGHT)->SetFont(&m_fontWeight, TRUE);

    StartConsole();
    return TRUE; // the focus goes to the first tab stop, Exit
}

void CWeighConsoleDlg::OnSysCommand(UINT nID, LPARAM)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        Default();
    }
}

// Minimised, the console draws its icon centred in the client area.
void CWeighConsoleDlg::OnPaint()
{
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        const int cxIcon = GetSystemMetrics(SM_CXICON);
        const int cyIcon = GetSystemMetrics(SM_CYICON);
        CRect rect;
        GetClientRect(&rect);
        const int x = (rect.Width() - cxIcon + 1) / 2;
        const int y = (rect.Height() - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        Default();
    }
}

HCURSOR CWeighConsoleDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}
