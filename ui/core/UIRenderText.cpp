// Render engine: text. Plain text in one of the paint manager's fonts, and marked-up text (bold,
// italic, underline, fonts, colours, links, images, line breaks, paragraphs, alignment, raw text,
// selection) laid out line by line, measured or drawn, with the rectangles of its links.
#include "UIRender.h"
#include "UIRenderPrivate.h"
#include "UIManager.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace Veneer {

using namespace render_detail;

void CUIPainter::DrawText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, const wchar_t* text, DWORD colour, int font,
                          UINT style)
{
    if (text == NULL || pManager == NULL || hDC == NULL) return;
    // Language tokens are rare: the text is copied only to expand them.
    CUIString expanded;
    if (wcschr(text, L'%') != NULL) {
        expanded = text;
        CPaintManagerUI::ExpandLanguageTokens(expanded);
        text = expanded.GetData();
    }
    // Controls in a row mostly share these: reading them back is cheap, setting them is not.
    if (::GetBkMode(hDC) != TRANSPARENT) ::SetBkMode(hDC, TRANSPARENT);
    const COLORREF textColour = ToColorRef(colour);
    if (::GetTextColor(hDC) != textColour) ::SetTextColor(hDC, textColour);
    // Selecting a font is far dearer than drawing a short text (several microseconds under Wine),
    // and the paint manager paints with its default font already selected: switch only when needed.
    HFONT hFont = pManager->GetFont(font);
    HFONT hOldFont = (HFONT)::GetCurrentObject(hDC, OBJ_FONT);
    const bool swap = hFont != hOldFont;
    if (swap) ::SelectObject(hDC, hFont);
    ::DrawTextW(hDC, text, -1, &rc, style | DT_NOPREFIX);
    if (swap) ::SelectObject(hDC, hOldFont);
}

namespace {

// Ids of font variants that marked-up text creates in a paint manager.
int g_nextVariantFontId = 30000;

inline bool IsTagLetter(wchar_t ch)
{
    return ch >= L'a' && ch <= L'z';
}

inline bool IsAsciiLetter(wchar_t ch)
{
    return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z');
}

inline bool IsTagClose(wchar_t ch)
{
    return ch == L'>' || ch == L'}';
}

// The stacks and flags that a line's second pass starts again from.
struct THtmlState {
    const wchar_t* p;
    CUIPtrArray fonts;
    CUIPtrArray colours;
    CUIPtrArray spacings;
    CUIPtrArray aligns;
    bool raw;
    bool selected;
    bool inLink;
    int linkIndex;

    THtmlState() : p(NULL), fonts(10), colours(10), spacings(10), aligns(10), raw(false), selected(false),
                   inLink(false), linkIndex(0) {}
};

// The base entry of a stack is never popped, whatever closing tags the text holds.
void PopKeepBase(CUIPtrArray& stack)
{
    if (stack.GetSize() > 1) stack.Remove(stack.GetSize() - 1);
}

void* Top(const CUIPtrArray& stack)
{
    return stack.GetAt(stack.GetSize() - 1);
}

class CHtmlLayout {
public:
    CHtmlLayout(HDC hDC, CPaintManagerUI* pManager, const RECT& rc, UINT style, RECT* links, CUIString* targets,
                int capacity)
        : m_hDC(hDC), m_pManager(pManager), m_rc(rc), m_style(style), m_links(links), m_targets(targets),
          m_capacity(capacity)
    {
        m_draw = (style & DT_CALCRECT) == 0;
        m_single = (style & DT_SINGLELINE) != 0;
        m_hasHover = false;
        m_drawing = false;
        m_x = rc.left;
        m_y = rc.top;
        m_lineHeight = 0;
        m_maxX = rc.left;
        m_maxImageBottom = rc.top;
        m_offset = 0;
    }

    void SetHover(const CUIString& target)
    {
        m_hover = target;
        m_hasHover = true;
    }

    int Run(const wchar_t* text, TFontEntry* baseFont, DWORD colour)
    {
        m_state.p = text;
        m_state.fonts.Add(baseFont);
        m_state.colours.Add((void*)(UINT_PTR)colour);
        m_state.spacings.Add((void*)(INT_PTR)0);
        m_state.aligns.Add((void*)(INT_PTR)8);
        SelectTopFont();
        m_lineHeight = FontHeight();

        for (;;) {
            THtmlState lineStart = m_state;
            m_drawing = false;
            bool textEnd = WalkLine();
            if (m_draw) {
                THtmlState lineEnd = m_state;
                int lineWidth = m_x - m_rc.left;
                int width = m_rc.right - m_rc.left;
                m_offset = 0;
                if (!m_single && (m_style & DT_CENTER)) m_offset = (width - lineWidth) / 2;
                else if (!m_single && (m_style & DT_RIGHT)) m_offset = width - lineWidth;
                if (m_offset < 0) m_offset = 0;
                m_state = lineStart;
                SelectTopFont();
                m_drawing = true;
                WalkLine();
                m_state = lineEnd;
                SelectTopFont();
            }
            m_y += m_lineHeight;
            if (m_single || textEnd) break;
            if (m_draw && m_y > m_rc.bottom) break;
            m_lineHeight = FontHeight() + Spacing();
        }
        return m_state.linkIndex < m_capacity ? m_state.linkIndex : m_capacity;
    }

    int Bottom() const
    {
        return m_maxImageBottom > m_y ? m_maxImageBottom : m_y;
    }
    int MaxX() const
    {
        return m_maxX;
    }

private:
    TFontEntry* TopFont() const
    {
        return (TFontEntry*)Top(m_state.fonts);
    }
    int Spacing() const
    {
        return (int)(INT_PTR)Top(m_state.spacings);
    }
    int Align() const
    {
        return (int)(INT_PTR)Top(m_state.aligns);
    }
    DWORD Colour() const
    {
        return (DWORD)(UINT_PTR)Top(m_state.colours);
    }

    void EnsureMetrics(TFontEntry* font)
    {
        if (font != NULL && font->tm.tmHeight == 0 && font->hFont != NULL) {
            HFONT hOld = (HFONT)::SelectObject(m_hDC, font->hFont);
            ::GetTextMetricsW(m_hDC, &font->tm);
            ::SelectObject(m_hDC, hOld);
        }
    }

    int FontHeight()
    {
        TFontEntry* font = TopFont();
        EnsureMetrics(font);
        return font->tm.tmHeight + font->tm.tmExternalLeading;
    }

    void SelectTopFont()
    {
        ::SelectObject(m_hDC, TopFont()->hFont);
    }

    void GrowLineHeight(int height)
    {
        if (!m_drawing && height > m_lineHeight) m_lineHeight = height;
    }

    void PushFont(TFontEntry* font)
    {
        EnsureMetrics(font);
        m_state.fonts.Add(font);
        FontChanged();
    }

    void PopFont()
    {
        PopKeepBase(m_state.fonts);
        FontChanged();
    }

    void FontChanged()
    {
        SelectTopFont();
        GrowLineHeight(FontHeight() + Spacing());
    }

    // The manager's font with the same attributes but the ones given; created when it has none.
    TFontEntry* Variant(const wchar_t* face, int size, bool bold, bool underline, bool italic)
    {
        HFONT hFont = m_pManager->GetFont(face, size, bold, underline, italic);
        if (hFont == NULL) hFont = m_pManager->AddFont(g_nextVariantFontId++, face, size, bold, underline, italic, false);
        if (hFont == NULL) return TopFont();
        TFontEntry* entry = m_pManager->GetFontInfo(hFont);
        return entry != NULL ? entry : TopFont();
    }

    int TextTop()
    {
        int h = FontHeight();
        switch (Align()) {
        case 0:
            return m_y;
        case 4:
            return m_y + (m_lineHeight - h) / 2;
        default:
            return m_y + m_lineHeight - h;
        }
    }

    // Measures (and in the drawing pass draws) count characters at the pen; returns their width.
    int PutText(const wchar_t* p, int count)
    {
        if (count <= 0) return 0;
        SIZE sz = {0, 0};
        ::GetTextExtentPoint32W(m_hDC, p, count, &sz);
        if (m_drawing) {
            ::SetTextColor(m_hDC, ToColorRef(Colour()));
            ::SetBkMode(m_hDC, m_state.selected ? OPAQUE : TRANSPARENT);
            ::TextOutW(m_hDC, m_x + m_offset, TextTop(), p, count);
        }
        m_x += sz.cx;
        if (m_x > m_maxX) m_maxX = m_x;
        return sz.cx;
    }

    // Ends a link's rectangle at the pen (bottom is fixed at the line's end).
    void CloseLinkRect()
    {
        if (!m_drawing && m_links != NULL && m_state.linkIndex < m_capacity) {
            m_links[m_state.linkIndex].right = m_x < m_rc.right ? m_x : m_rc.right;
            m_links[m_state.linkIndex].bottom = m_y + FontHeight();
        }
    }

    void OpenLinkRect(int x, int y, const CUIString& target)
    {
        if (!m_drawing && m_links != NULL && m_state.linkIndex < m_capacity) {
            ::SetRect(&m_links[m_state.linkIndex], x, y, x, y);
            if (m_targets != NULL) m_targets[m_state.linkIndex] = target;
        }
    }

    // Returns true when the tag ends the line; p then stays on the tag when it is to be read again.
    bool OpenTag(const wchar_t*& p, bool& lineEnds)
    {
        const wchar_t letter = p[1];
        const wchar_t* arg = p + 2;
        while (*arg == L' ') ++arg;
        const wchar_t* argEnd = arg;
        while (*argEnd != L'\0' && !IsTagClose(*argEnd)) ++argEnd;
        const wchar_t* tagEnd = (*argEnd != L'\0') ? argEnd + 1 : argEnd;
        const int argLen = (int)(argEnd - arg);
        TFontEntry* font = TopFont();
        lineEnds = false;

        switch (letter) {
        case L'a': {
            CUIString target(arg, argLen);
            OpenLinkRect(m_x, m_y, target);
            m_state.inLink = true;
            DWORD colour = (m_hasHover && m_hover == target.GetData()) ? m_pManager->GetDefaultLinkHoverFontColor()
                                                                        : m_pManager->GetDefaultLinkFontColor();
            m_state.colours.Add((void*)(UINT_PTR)colour);
            PushFont(font->bUnderline ? font : Variant(font->sFontName, font->iSize, font->bBold, true, font->bItalic));
            break;
        }
        case L'b':
            PushFont(font->bBold ? font : Variant(font->sFontName, font->iSize, true, font->bUnderline, font->bItalic));
            break;
        case L'u':
            PushFont(font->bUnderline ? font : Variant(font->sFontName, font->iSize, font->bBold, true, font->bItalic));
            break;
        case L'c': {
            const wchar_t* q = arg;
            while (q < argEnd && *q == L' ') ++q;
            if (q < argEnd && *q == L'#') ++q;
            long value = wcstol(q, NULL, 16);
            DWORD colour = 0xFF000000 | ((DWORD)value & 0x00FFFFFF);
            m_state.colours.Add((void*)(UINT_PTR)colour);
            break;
        }
        case L'f':
            if (argLen > 0 && *arg >= L'0' && *arg <= L'9') {
                PushFont(m_pManager->GetFontInfo((int)wcstol(arg, NULL, 10)));
            } else if (argLen > 0) {
                const wchar_t* q = arg;
                while (q < argEnd && *q != L' ') ++q;
                CUIString face(arg, (int)(q - arg));
                int size = 10;
                bool bold = false, underline = false, italic = false;
                while (q < argEnd) {
                    while (q < argEnd && *q == L' ') ++q;
                    const wchar_t* w = q;
                    while (q < argEnd && *q != L' ') ++q;
                    if (q == w) break;
                    CUIString word(w, (int)(q - w));
                    word.MakeLower();
                    if (*w >= L'0' && *w <= L'9') size = (int)wcstol(w, NULL, 10);
                    if (word.Find(L"bold") >= 0) bold = true;
                    if (word.Find(L"underline") >= 0) underline = true;
                    if (word.Find(L"italic") >= 0) italic = true;
                }
                PushFont(Variant(face, size, bold, underline, italic));
            } else {
                PushFont(font);
            }
            break;
        case L'i':
            if (argLen == 0) {
                PushFont(font->bItalic ? font : Variant(font->sFontName, font->iSize, font->bBold, font->bUnderline, true));
            } else if (!InlineImage(arg, argLen)) {
                lineEnds = true;
                return true; // read again on the next line
            }
            break;
        case L'n':
            if (!m_single) {
                p = tagEnd;
                lineEnds = true;
                return true;
            }
            break;
        case L'p':
            if (m_x != m_rc.left) {
                lineEnds = true;
                return true;
            }
            {
                int spacing = argLen > 0 ? (int)wcstol(arg, NULL, 10) : 0;
                m_state.spacings.Add((void*)(INT_PTR)spacing);
                GrowLineHeight(FontHeight() + spacing);
            }
            break;
        case L'r':
            m_state.raw = true;
            break;
        case L's':
            m_state.selected = !m_state.selected;
            break;
        case L'v': {
            int align = 8;
            if (argLen >= 3 && _wcsnicmp(arg, L"top", 3) == 0 && (argLen == 3 || arg[3] == L' ')) align = 0;
            else if (argLen >= 6 && _wcsnicmp(arg, L"center", 6) == 0 && (argLen == 6 || arg[6] == L' ')) align = 4;
            m_state.aligns.Add((void*)(INT_PTR)align);
            break;
        }
        case L'x':
            m_x += (int)wcstol(arg, NULL, 10);
            if (m_x > m_maxX) m_maxX = m_x;
            break;
        case L'y':
            if (!m_drawing) m_lineHeight = (int)wcstol(arg, NULL, 10);
            break;
        default:
            break;
        }
        p = tagEnd;
        return false;
    }

    // Returns false when the image does not fit and the line must end before it.
    bool InlineImage(const wchar_t* arg, int argLen)
    {
        CUIString text(arg, argLen);
        CUIString name;
        CUIString resType;
        const wchar_t* rest = NULL;
        if (text.Find(L"file='") >= 0 || text.Find(L"res='") >= 0) {
            const wchar_t* q = text.GetData();
            CUIString key, value;
            bool more = true;
            while (more && ReadImageItem(q, key, value, more)) {
                if (key == L"file" || key == L"res") name = value;
                else if (key == L"restype") resType = value;
            }
            rest = q;
        } else {
            int blank = text.Find(L' ');
            name = blank >= 0 ? text.Left(blank) : text;
            rest = text.GetData() + (blank >= 0 ? blank : text.GetLength());
        }
        wchar_t* end = NULL;
        long parts = wcstol(rest, &end, 10);
        long part = wcstol(end, NULL, 10);
        if (parts < 1) parts = 1;
        if (part < 0 || part >= parts) part = 0;

        TLoadedImage* image = name.IsEmpty() ? NULL
                                             : m_pManager->GetOrLoadImage(name, resType.IsEmpty() ? NULL : resType.GetData());
        if (image == NULL) return true;
        const int partWidth = image->nWidth / (int)parts;
        if (m_x + partWidth > m_rc.right && m_x != m_rc.left && !m_single) return false;
        const int height = image->nHeight;
        if (m_drawing) {
            int top = m_y + m_lineHeight - height;
            if (height < m_lineHeight) {
                if (Align() == 0) top = m_y;
                else if (Align() == 4) top = m_y + (m_lineHeight - height) / 2;
            }
            RECT rcDest = {m_x + m_offset, top, m_x + m_offset + partWidth, top + height};
            RECT rcSource = {partWidth * (int)part, 0, partWidth * ((int)part + 1), height};
            RECT rcCorners = {0, 0, 0, 0};
            CUIPainter::DrawImage(m_hDC, image->hBitmap, rcDest, m_rc, rcSource, rcCorners, image->bAlpha, 255);
        }
        GrowLineHeight(height);
        if (!m_drawing && m_y + height > m_maxImageBottom) m_maxImageBottom = m_y + height;
        m_x += partWidth;
        if (m_x > m_maxX) m_maxX = m_x;
        return true;
    }

    // Returns true when the closing tag ends the line (it is then read again on the next one).
    bool CloseTag(const wchar_t*& p)
    {
        const wchar_t letter = p[2];
        const wchar_t* q = p + 3;
        while (*q != L'\0' && !IsTagClose(*q)) ++q;
        const wchar_t* tagEnd = (*q != L'\0') ? q + 1 : q;
        switch (letter) {
        case L'a':
            if (m_state.inLink) {
                CloseLinkRect();
                m_state.linkIndex++;
                m_state.inLink = false;
            }
            PopKeepBase(m_state.colours);
            PopFont();
            break;
        case L'b':
        case L'f':
        case L'i':
        case L'u':
            PopFont();
            break;
        case L'c':
            PopKeepBase(m_state.colours);
            break;
        case L'p':
            if (m_x != m_rc.left) return true;
            PopKeepBase(m_state.spacings);
            break;
        case L's':
            m_state.selected = !m_state.selected;
            break;
        case L'v':
            PopKeepBase(m_state.aligns);
            break;
        default:
            break;
        }
        p = tagEnd;
        return false;
    }

    static bool IsRawEnd(const wchar_t* p)
    {
        return (p[0] == L'<' || p[0] == L'{') && p[1] == L'/' && p[2] == L'r' && IsTagClose(p[3]);
    }

    // Walks one line from the current state; returns true at the end of the text.
    bool WalkLine()
    {
        m_x = m_rc.left;
        const int firstLink = m_state.linkIndex;
        const wchar_t* lineStart = m_state.p;
        bool textEnd = false;
        for (;;) {
            if (m_x >= m_rc.right) break;
            const wchar_t* p = m_state.p;
            const wchar_t ch = *p;
            if (ch == L'\0') {
                textEnd = true;
                break;
            }
            if (ch == L'\n') {
                m_state.p = p + 1;
                break;
            }
            if (!m_state.raw) {
                if ((ch == L'<' || ch == L'{') && IsTagLetter(p[1]) && (p[2] == L' ' || IsTagClose(p[2]))) {
                    bool lineEnds = false;
                    OpenTag(p, lineEnds);
                    m_state.p = p;
                    if (lineEnds) break;
                    continue;
                }
                if ((ch == L'<' || ch == L'{') && p[1] == L'/' && IsTagLetter(p[2])) {
                    if (CloseTag(p)) break;
                    m_state.p = p;
                    continue;
                }
                if ((ch == L'<' && (p[1] == L'{' || p[1] == L'}') && p[2] == L'>') ||
                    (ch == L'{' && (p[1] == L'<' || p[1] == L'>') && p[2] == L'}')) {
                    PutText(p + 1, 1);
                    m_state.p = p + 3;
                    continue;
                }
                if (ch == L' ') {
                    PutText(p, 1);
                    m_state.p = p + 1;
                    continue;
                }
            } else if (IsRawEnd(p)) {
                m_state.raw = false;
                m_state.p = p + 4;
                continue;
            }

            // A run of text.
            const wchar_t* q = p + 1;
            if (m_state.raw) {
                while (*q != L'\0' && *q != L'\n' && !IsRawEnd(q)) ++q;
            } else {
                while (*q != L'\0' && *q != L'\n' && *q != L'<' && *q != L'{') ++q;
            }
            int count = (int)(q - p);
            bool cut = false;
            // The real extent decides: glyphs much wider than the font's average (ideographs, "W")
            // would otherwise overflow the edge unnoticed.
            SIZE full = {0, 0};
            ::GetTextExtentPoint32W(m_hDC, p, count, &full);
            if ((long long)m_x + full.cx > m_rc.right) {
                int fit = 0;
                SIZE sz = {0, 0};
                ::GetTextExtentExPointW(m_hDC, p, count, m_rc.right - m_x, &fit, NULL, &sz);
                if (fit < count) {
                    cut = true;
                    count = fit > 1 ? fit : 1;
                    if (m_style & DT_WORDBREAK) {
                        for (int i = count - 1; i >= 0; --i) {
                            if (!IsAsciiLetter(p[i])) {
                                count = i + 1;
                                break;
                            }
                        }
                    }
                    if (m_style & DT_END_ELLIPSIS) count = count > 2 ? count - 2 : 0;
                    // Every line moves on by at least one character.
                    if (count < 1 && p == lineStart) count = 1;
                }
            }
            PutText(p, count);
            if (cut && (m_style & DT_END_ELLIPSIS)) PutText(L"...", 3);
            m_state.p = p + count;
            if (cut) {
                textEnd = (*m_state.p == L'\0');
                break;
            }
        }

        if (!m_drawing) {
            const int lineBottom = m_y + m_lineHeight;
            if (m_state.inLink) {
                if (m_links != NULL && m_state.linkIndex < m_capacity)
                    m_links[m_state.linkIndex].right = m_x < m_rc.right ? m_x : m_rc.right;
                m_state.linkIndex++;
            }
            if (m_links != NULL) {
                int last = m_state.linkIndex < m_capacity ? m_state.linkIndex : m_capacity;
                for (int i = firstLink; i < last; ++i) m_links[i].bottom = lineBottom;
            }
            if (m_state.inLink && m_links != NULL && m_state.linkIndex < m_capacity) {
                // The link goes on at the start of the next line.
                ::SetRect(&m_links[m_state.linkIndex], m_rc.left, lineBottom, m_rc.left, lineBottom);
                if (m_targets != NULL) m_targets[m_state.linkIndex] = m_targets[m_state.linkIndex - 1];
            }
        }
        return textEnd;
    }

    HDC m_hDC;
    CPaintManagerUI* m_pManager;
    RECT m_rc;
    UINT m_style;
    RECT* m_links;
    CUIString* m_targets;
    int m_capacity;
    bool m_draw;
    bool m_single;
    bool m_drawing;
    bool m_hasHover;
    CUIString m_hover;
    THtmlState m_state;
    int m_x;
    int m_y;
    int m_lineHeight;
    int m_maxX;
    int m_maxImageBottom;
    int m_offset;
};

} // namespace

void CUIPainter::DrawHtmlText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, const wchar_t* text, DWORD colour,
                              RECT* linkRects, CUIString* linkTargets, int& linkCount, int font, UINT style)
{
    const int capacity = (linkRects != NULL && linkCount > 0) ? linkCount : 0;
    if (text == NULL || pManager == NULL || hDC == NULL || ::IsRectEmpty(&rc)) {
        linkCount = 0;
        return;
    }
    const bool draw = (style & DT_CALCRECT) == 0;

    // Only texts with language tokens need a copy.
    CUIString expanded;
    if (wcsstr(text, L"%{") != NULL) {
        expanded = text;
        CPaintManagerUI::ExpandLanguageTokens(expanded);
        text = expanded.GetData();
    }

    HRGN hOldClip = ::CreateRectRgn(0, 0, 0, 0);
    const bool hadClip = ::GetClipRgn(hDC, hOldClip) == 1;
    if (draw) {
        HRGN hRgn = ::CreateRectRgnIndirect(&rc);
        ::ExtSelectClipRgn(hDC, hRgn, RGN_AND);
        ::DeleteObject(hRgn);
    }

    RECT rcText = rc;
    if (draw && (style & (DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM))) {
        const bool single = (style & DT_SINGLELINE) != 0;
        RECT rcMeasure = {0, 0, single ? 9999 : rc.right - rc.left, single ? 100 : rc.bottom - rc.top};
        int noLinks = 0;
        DrawHtmlText(hDC, pManager, rcMeasure, text, colour, NULL, NULL, noLinks, font, style | DT_CALCRECT);
        const int mw = rcMeasure.right - rcMeasure.left, mh = rcMeasure.bottom - rcMeasure.top;
        if (single && (style & DT_CENTER)) rcText.left += (rc.right - rc.left) / 2 - mw / 2;
        else if (single && (style & DT_RIGHT)) rcText.left = rc.right - mw;
        if (style & DT_VCENTER) rcText.top += (rc.bottom - rc.top) / 2 - mh / 2;
        else if (style & DT_BOTTOM) rcText.top = rc.bottom - mh;
    }

    TFontEntry* baseFont = pManager->GetFontInfo(font);
    HFONT hOldFont = (HFONT)::SelectObject(hDC, baseFont->hFont);
    const int oldBkMode = ::SetBkMode(hDC, TRANSPARENT);
    const COLORREF oldTextColour = ::SetTextColor(hDC, ToColorRef(colour));
    const COLORREF oldBkColour = ::SetBkColor(hDC, ToColorRef(pManager->GetDefaultSelectedBkColor()));

    CHtmlLayout layout(hDC, pManager, rcText, style, capacity > 0 ? linkRects : NULL, linkTargets, capacity);
    if (draw && capacity > 0 && linkTargets != NULL) {
        POINT pt = pManager->GetMousePos();
        for (int i = 0; i < capacity; ++i) {
            if (::PtInRect(&linkRects[i], pt)) {
                layout.SetHover(linkTargets[i]);
                break;
            }
        }
    }
    linkCount = layout.Run(text, baseFont, colour);

    if (!draw) {
        rc.bottom = layout.Bottom();
        if (layout.MaxX() < rc.right) rc.right = layout.MaxX();
    }

    ::SetBkColor(hDC, oldBkColour);
    ::SetTextColor(hDC, oldTextColour);
    ::SetBkMode(hDC, oldBkMode);
    ::SelectObject(hDC, hOldFont);
    if (draw) ::SelectClipRgn(hDC, hadClip ? hOldClip : NULL);
    ::DeleteObject(hOldClip);
}

} // namespace Veneer
