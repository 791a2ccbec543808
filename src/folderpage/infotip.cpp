// The info tip of a picture cell, as Explorer shows one: the whole name
// (a long caption is cut), then what is known without reading the file
// again: the date taken and the dimensions the makers found, the size
// the listing found, and why the picture could not be read, if it could not.
#include "folderpage/folderpage.h"

#include <shlwapi.h>

#include "afxpath.h"
#include "core/pagehost.h"
#include "dialog.h"
#include "res/resource.h"

namespace {

// The camera's clock in the user's short date and time; empty for none.
std::string TakenText(ULONGLONG taken)
{
    const FILETIME value{(DWORD)taken, (DWORD)(taken >> 32)};
    SYSTEMTIME time;
    wchar_t date[128], clock[128];
    if (taken == 0 || !::FileTimeToSystemTime(&value, &time)
        || !::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 128, nullptr)
        || !::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, clock, 128))
        return {};
    return AfxUtf8(date) + " " + AfxUtf8(clock);
}

// The system's own words for a Win32 error, on one line.
std::string ErrorText(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                              | FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string said = length ? AfxUtf8(text) : "error " + std::to_string(error);
    ::LocalFree(text);
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' '))
        said.pop_back();
    return said;
}

}  // namespace

std::string CFolderPage::InfoTipText(const CFolderEntry& entry) const
{
    std::string text = AfxFindFileName(entry.ListedPath().c_str());
    const auto facts = entry.m_thumbnail ? entry.m_thumbnail->Facts() : std::nullopt;
    if (facts) {
        if (const std::string taken = TakenText(facts->taken); !taken.empty())
            text += "\n" + AfxFormatString(IDS_TIP_TAKEN, taken.c_str());
        if (facts->size.cx > 0 && facts->size.cy > 0) {
            const std::string size = std::to_string(facts->size.cx) + " \u00D7 " + std::to_string(facts->size.cy);
            text += "\n" + AfxFormatString(IDS_TIP_DIMENSIONS, size.c_str());
        }
    }
    if (const DWORD failure = entry.m_thumbnail ? entry.m_thumbnail->ReadFailure() : 0)
        text += "\n" + AfxFormatString(IDS_TIP_READ_FAILED, ErrorText(failure).c_str());
    if (entry.m_fileSize > 0) {
        wchar_t size[64];
        if (::StrFormatByteSizeW((LONGLONG)entry.m_fileSize, size, 64))
            text += "\n" + AfxFormatString(IDS_TIP_SIZE, AfxUtf8(size).c_str());
    }
    return text;
}

void CFolderPage::UpdateInfoTip(EntryIt hovered, int part)
{
    UINT hoverTime = 400;
    ::SystemParametersInfoW(SPI_GETMOUSEHOVERTIME, 0, &hoverTime, 0);
    CPageHost* host = GetPageHost();
    const bool resting = hovered != m_catalog.m_entries.end() && hovered->IsFile() && part != PartNone && !m_peek
        && !m_released && host && m_hover.Elapsed(hoverTime);
    if (!resting) {
        m_infoTip.Hide();
        m_infoTipFor = nullptr;
        return;
    }
    if (m_infoTip.IsShown() && m_infoTipFor == hovered->m_thumbnail.get())
        return;
    // Below the pointer's hot spot, clear of the arrow, as the system's tips go.
    POINT point;
    ::GetCursorPos(&point);
    point.y += ::GetSystemMetrics(SM_CYCURSOR) / 2 + 4;
    m_infoTip.TrackAt(host->GetPageWnd()->m_hWnd, InfoTipText(*hovered), point);
    m_infoTipFor = hovered->m_thumbnail.get();
}
