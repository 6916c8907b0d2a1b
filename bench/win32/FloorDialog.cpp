#include "bench/win32/FloorDialog.h"

#include "bench/ReadingSequence.h"

#include "framework/Resources.h"
#include "res/resource.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace bench {

namespace {

void Put(std::vector<WORD>& words, std::initializer_list<WORD> more) { words.insert(words.end(), more); }
void PutLong(std::vector<WORD>& words, DWORD value) { Put(words, {LOWORD(value), HIWORD(value)}); }

// UTF-16 with its terminating zero.
void PutText(std::vector<WORD>& words, const char* text)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    const std::size_t at = words.size();
    words.resize(at + std::size_t(n));
    MultiByteToWideChar(CP_ACP, 0, text, -1, reinterpret_cast<LPWSTR>(words.data() + at), n);
}

// A plain DLGTEMPLATE of the resource table's template, with the predefined classes by atom; a hosted
// control's item becomes the empty plain static that the console sites its control in.
std::vector<WORD> DialogTemplate(const AFX_DLGTEMPLATE& dialog)
{
    std::vector<WORD> words;
    PutLong(words, dialog.style);
    PutLong(words, dialog.exStyle);
    Put(words, {WORD(dialog.items.size()), WORD(dialog.x), WORD(dialog.y), WORD(dialog.cx), WORD(dialog.cy), 0, 0});
    PutText(words, dialog.caption);
    if (dialog.style & DS_SETFONT) {
        Put(words, {dialog.pointSize});
        PutText(words, dialog.fontFace);
    }
    for (const AFX_DLGITEMTEMPLATE& item : dialog.items) {
        if (words.size() % 2)
            words.push_back(0);
        const bool control = item.windowClass[0] == '{';
        const WORD atom = std::strcmp(item.windowClass, "BUTTON") == 0 ? 0x0080
                          : std::strcmp(item.windowClass, "EDIT") == 0 ? 0x0081
                                                                      : 0x0082;
        PutLong(words, control ? (item.style & ~DWORD(SS_TYPEMASK)) | SS_LEFT : item.style);
        PutLong(words, item.exStyle);
        Put(words, {WORD(item.x), WORD(item.y), WORD(item.cx), WORD(item.cy), WORD(item.id), 0xFFFF, atom});
        PutText(words, control ? "" : item.text);
        Put(words, {0}); // no creation data
    }
    return words;
}

}

FloorDialog::FloorDialog()
{
    if (const AFX_DLGTEMPLATE* console = AfxFindDialogTemplate(IDD_CONSOLE))
        m_template = DialogTemplate(*console);
}

FloorDialog::~FloorDialog()
{
    if (m_hWnd)
        DestroyWindow(m_hWnd);
}

INT_PTR FloorDialog::DoModal()
{
    if (m_template.empty())
        return -1;
    return DialogBoxIndirectParam(GetModuleHandle(nullptr), reinterpret_cast<LPCDLGTEMPLATE>(m_template.data()),
                                  nullptr, &DialogProc, reinterpret_cast<LPARAM>(this));
}

HWND FloorDialog::Create()
{
    if (m_template.empty())
        return nullptr;
    std::vector<WORD> hidden = m_template;
    DWORD style;
    std::memcpy(&style, hidden.data(), sizeof style);
    style &= ~DWORD(WS_VISIBLE);
    std::memcpy(hidden.data(), &style, sizeof style);
    return CreateDialogIndirectParam(GetModuleHandle(nullptr), reinterpret_cast<LPCDLGTEMPLATE>(hidden.data()), nullptr,
                                     &DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK FloorDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtr(hWnd, DWLP_USER, lParam);
        reinterpret_cast<FloorDialog*>(lParam)->OnInitDialog(hWnd);
        return TRUE;
    }
    auto* self = reinterpret_cast<FloorDialog*>(GetWindowLongPtr(hWnd, DWLP_USER));
    if (!self)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_READ_WEIGHT && HIWORD(wParam) == BN_CLICKED) {
            self->ShowNextReading();
            return TRUE;
        }
        if (LOWORD(wParam) == IDOK) {
            EndDialog(hWnd, IDOK);
            return TRUE;
        }
        return FALSE;
    case WM_NCDESTROY:
        DeleteObject(self->m_weightFont);
        self->m_weightFont = nullptr;
        self->m_hWnd = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

// The gauge paints the last weight as a red column against the capacity, with the button face
// above it (all button face before the first read).
LRESULT CALLBACK FloorDialog::GaugeProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<FloorDialog*>(GetWindowLongPtr(GetParent(hWnd), DWLP_USER));
    if (!self)
        return DefWindowProc(hWnd, message, wParam, lParam);
    if (message != WM_PAINT)
        return CallWindowProc(self->m_staticProc, hWnd, message, wParam, lParam);
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hWnd, &ps);
    RECT rc;
    GetClientRect(hWnd, &rc);
    const double weight = self->m_reads ? double(ReadingFor(self->m_reads, 0).weight) : 0, capacity = double(kCapacity);
    const int y = int((capacity - weight) / capacity * rc.bottom);
    const RECT above{0, 0, rc.right, y}, column{0, y, rc.right, rc.bottom};
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    ExtTextOut(dc, 0, 0, ETO_OPAQUE, &above, nullptr, 0, nullptr);
    SetBkColor(dc, GetNearestColor(dc, RGB(255, 0, 0)));
    ExtTextOut(dc, 0, 0, ETO_OPAQUE, &column, nullptr, 0, nullptr);
    EndPaint(hWnd, &ps);
    return 0;
}

// The console's weight font and gauge; nothing else starts up.
void FloorDialog::OnInitDialog(HWND hWnd)
{
    m_hWnd = hWnd;
    m_staticProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtr(GetDlgItem(hWnd, IDC_GAUGE), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&GaugeProc)));
    m_weightFont = CreateFont(74, 26, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_STROKE_PRECIS,
                              CLIP_STROKE_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
    SendDlgItemMessage(hWnd, IDC_WEIGHT, WM_SETFONT, reinterpret_cast<WPARAM>(m_weightFont), TRUE);
}

void FloorDialog::ShowNextReading()
{
    const Reading r = ReadingFor(++m_reads, 0);
    char text[64];
    SetDlgItemText(m_hWnd, IDC_RESULT_NAME, "OPOS_SUCCESS");
    std::snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(r.result));
    SetDlgItemText(m_hWnd, IDC_RESULT_HEX, text);
    std::snprintf(text, sizeof text, "%.03f", double(r.weight) * 0.001);
    SetDlgItemText(m_hWnd, IDC_WEIGHT, text);
    InvalidateRect(GetDlgItem(m_hWnd, IDC_GAUGE), nullptr, TRUE);
    std::snprintf(text, sizeof text, "Max Weight %ld Kg", kCapacity / 1000);
    SetDlgItemText(m_hWnd, IDC_CAPACITY, text);
}

}
