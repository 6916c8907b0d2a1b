// The floor the console is measured against under Wine: a bare Win32 dialog made from the console's
// own template (the same size, the same sixteen items in the same places, the control's item a
// plain static), with one dialog procedure and nothing behind it. Its Read Weight button writes
// what a read writes in the console (weight, capacity line, result name and hex) and repaints the
// gauge, which paints the same column as the console's; Exit ends it.
#pragma once

#include <windows.h>

#include <vector>

namespace bench {

class FloorDialog
{
public:
    FloorDialog();
    ~FloorDialog();
    FloorDialog(const FloorDialog&) = delete;
    FloorDialog& operator=(const FloorDialog&) = delete;

    // Runs it as a modal dialog, as the console runs; returns what ended it (IDOK for Exit).
    INT_PTR DoModal();
    // Or creates it modeless and hidden, for its caller to show; nullptr when it could not.
    HWND Create();

    HWND Window() const { return m_hWnd; } // nullptr until it exists
    long Reads() const { return m_reads; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK GaugeProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND hWnd);
    void ShowNextReading();

    std::vector<WORD> m_template;
    HWND m_hWnd = nullptr;
    HFONT m_weightFont = nullptr;
    WNDPROC m_staticProc = nullptr; // the gauge's own window procedure
    long m_reads = 0;
};

}
