#include "dialogs/helpdialog.h"

#include <cstring>

#include "afxhtmlhelp.h"
#include "winapp.h"

namespace {

// Reads the pieces of an extended dialog template (DLGTEMPLATEEX) in order.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : m_data(data), m_size(size) {}

    bool Ok() const { return m_ok; }
    WORD Word() { return Take<WORD>(); }
    DWORD Dword() { return Take<DWORD>(); }
    void Skip(size_t bytes) { Advance(bytes); }
    void AlignDword() { Advance((4 - m_pos % 4) % 4); }
    void SkipString()
    {
        while (m_ok && Word() != 0) {
        }
    }
    // A name or an ordinal (0xFFFF followed by the number); 0 alone is none.
    void SkipNameOrOrdinal()
    {
        const WORD first = Word();
        if (first == 0xFFFF)
            Word();
        else if (first != 0)
            SkipString();
    }

private:
    template <class T>
    T Take()
    {
        T value{};
        if (m_ok && m_pos + sizeof(T) <= m_size)
            std::memcpy(&value, m_data + m_pos, sizeof(T));
        Advance(sizeof(T));
        return value;
    }
    void Advance(size_t bytes)
    {
        m_pos += bytes;
        if (m_pos > m_size)
            m_ok = false;
    }

    const BYTE* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

// Puts the help context numbers the template gives its controls on the
// controls (Wine ignores them in templates).
void ApplyTemplateHelpIds(HWND dialog, UINT templateId)
{
    HINSTANCE instance = AfxGetResourceHandle();
    HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(templateId), (LPCSTR)RT_DIALOG);
    HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    if (!data)
        return;
    TemplateReader reader(data, ::SizeofResource(instance, found));
    if (reader.Word() != 1 || reader.Word() != 0xFFFF)
        return;  // a plain template carries no help numbers
    reader.Dword();  // the dialog's own help number
    reader.Dword();  // extended style
    const DWORD style = reader.Dword();
    const WORD count = reader.Word();
    reader.Skip(4 * sizeof(short));  // position and size
    reader.SkipNameOrOrdinal();      // menu
    reader.SkipNameOrOrdinal();      // class
    reader.SkipString();             // caption
    if (style & DS_SETFONT) {
        reader.Skip(2 * sizeof(WORD) + 2);  // point size, weight, italic, character set
        reader.SkipString();
    }
    for (WORD i = 0; i < count && reader.Ok(); ++i) {
        reader.AlignDword();
        const DWORD helpId = reader.Dword();
        reader.Dword();  // extended style
        reader.Dword();  // style
        reader.Skip(4 * sizeof(short));
        const DWORD id = reader.Dword();
        reader.SkipNameOrOrdinal();  // class
        reader.SkipNameOrOrdinal();  // text
        reader.Skip(reader.Word());  // creation data
        if (reader.Ok() && helpId != 0)
            if (HWND control = ::GetDlgItem(dialog, (int)id))
                ::SetWindowContextHelpId(control, helpId);
    }
}

} // namespace

BOOL CHelpDialog::OnInitDialog()
{
    ApplyTemplateHelpIds(m_hWnd, m_nIDTemplate);
    return CDialog::OnInitDialog();
}

BOOL CHelpDialog::OnHelpInfo(HELPINFO* info)
{
    if (!info || info->dwContextId == 0)
        return TRUE;
    CWinApp* app = AfxGetApp();
    const std::string topic = (app ? app->m_pszHelpFilePath : std::string()) + "::/popups.txt";

    HH_POPUP popup{};
    popup.cbStruct = sizeof popup;
    popup.hinst = nullptr;
    popup.idString = (UINT)info->dwContextId;
    popup.pszText = "";
    popup.pt = info->MousePos;
    popup.clrForeground = (COLORREF)-1;
    popup.clrBackground = (COLORREF)-1;
    popup.rcMargins = RECT{-1, -1, -1, -1};
    popup.pszFont = nullptr;
    // Where the help library shows no text popup (Wine), show the text ourselves.
    if (!AfxHtmlHelp(m_hWnd, topic.c_str(), HH_DISPLAY_TEXT_POPUP, (DWORD_PTR)&popup))
        AfxShowTextPopup(m_hWnd, topic, popup);
    return TRUE;
}
