#include "framework/win32/AfxDialogTemplate.h"

#include "framework/Automation.h"

#include <cstring>
#include <cstdlib>

namespace {
// Builds the template word by word; strings are UTF-16 with a terminating zero.
class TemplateWriter
{
public:
    void word(WORD w) { m_words.push_back(w); }
    void dword(DWORD d) { word(LOWORD(d)); word(HIWORD(d)); }
    void text(const char* psz)
    {
        for (char16_t c : AfxWideFromText(psz ? psz : ""))
            word(WORD(c));
        word(0);
    }
    void alignDword()
    {
        if (m_words.size() % 2)
            word(0);
    }
    std::vector<WORD> take() { return std::move(m_words); }

private:
    std::vector<WORD> m_words;
};

// Predefined window classes are written as atoms.
WORD classAtom(const char* windowClass)
{
    if (AfxIsControlClass(windowClass))
        return 0x0082; // STATIC: the hosted control's site
    if (_stricmp(windowClass, "BUTTON") == 0)
        return 0x0080;
    if (_stricmp(windowClass, "EDIT") == 0)
        return 0x0081;
    return 0x0082;
}

void writeItem(TemplateWriter& out, const AFX_DLGITEMTEMPLATE& item)
{
    out.alignDword();
    DWORD style = item.style;
    if (AfxIsControlClass(item.windowClass))
        style = (style & ~SS_TYPEMASK) | SS_LEFT; // an empty static until the control shows itself
    out.dword(style);
    out.dword(item.exStyle);
    for (short v : {item.x, item.y, item.cx, item.cy})
        out.word(WORD(v));
    out.word(WORD(item.id));
    out.word(0xFFFF);
    out.word(classAtom(item.windowClass));
    const bool icon = classAtom(item.windowClass) == 0x0082 && (item.style & SS_TYPEMASK) == SS_ICON;
    if (icon && item.text && *item.text) {
        out.word(0xFFFF);
        out.word(WORD(std::strtoul(item.text, nullptr, 10)));
    } else {
        out.text(AfxIsControlClass(item.windowClass) ? "" : item.text);
    }
    out.word(0); // no creation data
}
}

std::vector<WORD> AfxBuildDialogTemplate(const AFX_DLGTEMPLATE& tpl)
{
    TemplateWriter out;
    out.dword(tpl.style);
    out.dword(tpl.exStyle);
    out.word(WORD(tpl.items.size()));
    for (short v : {tpl.x, tpl.y, tpl.cx, tpl.cy})
        out.word(WORD(v));
    out.word(0); // no menu
    out.word(0); // the dialog class
    out.text(tpl.caption);
    if (tpl.style & DS_SETFONT) {
        out.word(tpl.pointSize);
        out.text(tpl.fontFace);
    }
    for (const AFX_DLGITEMTEMPLATE& item : tpl.items)
        writeItem(out, item);
    return out.take();
}
