#include "pages/picturepage.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>

#include "afxpath.h"
#include "catalog/picturekinds.h"
#include "catalog/foldercatalog.h"
#include "catalog/sortedlisting.h"
#include "core/navigator.h"
#include "core/pagehost.h"
#include "catalog/thumbnailcache.h"
#include "dialogs/addfavoritedlg.h"
#include "dialogs/renamedlg.h"
#include "folderpage/folderpage.h"
#include "imaging/drawing.h"
#include "imaging/losslessturn.h"
#include "imaging/wicdecode.h"
#include "pages/animationplayer.h"
#include "pages/photoline.h"
#include "res/resource.h"
#include "shell/fileoperation.h"
#include "shell/filedata.h"
#include "shell/filejobs.h"
#include "shell/fileverbs.h"
#include "shell/settings.h"
#include "thread.h"

BEGIN_COMMAND_MAP(CPicturePage, CPage)
    ON_COMMAND(ID_ADD_FAVORITE, OnAddFavorite)
    ON_COMMAND(ID_ADD_TO_FAVORITES, OnAddFavorite)
    ON_COMMAND(ID_ROTATE_90, OnRotate90)
    ON_COMMAND(ID_ROTATE_180, OnRotate180)
    ON_COMMAND(ID_ROTATE_270, OnRotate270)
    ON_UPDATE_COMMAND_UI(ID_ROTATE_90, OnUpdateRotate)
    ON_UPDATE_COMMAND_UI(ID_ROTATE_180, OnUpdateRotate)
    ON_UPDATE_COMMAND_UI(ID_ROTATE_270, OnUpdateRotate)
    ON_COMMAND(ID_ZOOM_IN, OnZoomIn)
    ON_COMMAND(ID_ZOOM_OUT, OnZoomOut)
    ON_COMMAND(ID_ZOOM_FIT, OnZoomFit)
    ON_COMMAND(ID_ZOOM_ACTUAL, OnZoomActual)
    ON_UPDATE_COMMAND_UI(ID_ZOOM_IN, OnUpdateZoomIn)
    ON_UPDATE_COMMAND_UI(ID_ZOOM_OUT, OnUpdateZoomOut)
    ON_UPDATE_COMMAND_UI(ID_ZOOM_FIT, OnUpdateZoomFit)
    ON_UPDATE_COMMAND_UI(ID_ZOOM_ACTUAL, OnUpdateZoomActual)
    ON_COMMAND(ID_RENAME, OnRename)
    ON_COMMAND(ID_EDIT_CLEAR, OnDelete)
    ON_COMMAND(ID_DELETE_PERMANENTLY, OnDeletePermanently)
    ON_COMMAND(ID_EDIT_CUT, OnCut)
    ON_COMMAND(ID_EDIT_COPY, OnCopy)
    ON_COMMAND(ID_OPEN_WITH, OnOpenWith)
    ON_COMMAND(ID_EDIT_FILE, OnEditFile)
    ON_COMMAND(ID_SHOW_IN_EXPLORER, OnShowInExplorer)
    ON_COMMAND(ID_PROPERTIES, OnProperties)
END_COMMAND_MAP()

namespace {
// How long a walk key waits for the folder's listing before it leaves the
// walk to the tick after the listing, and a deletion, to know what follows.
constexpr DWORD kWalkWait = 250;
constexpr DWORD kDeleteWait = 1000;
}

// The folder's pictures listed on a thread of the page's own.
struct CPicturePage::Lister {
    struct State {
        std::mutex lock;
        std::shared_ptr<const Siblings> siblings;  // set once listed
        std::atomic<bool> stop{false};
    };

    Lister(const std::string& folderPath, int order, bool descending) : state(std::make_shared<State>())
    {
        std::shared_ptr<State> shared = state;
        thread = std::make_unique<CBackgroundThread>([shared, folderPath, order, descending] {
            // Shortcuts resolve through COM.
            CComOnThread com;
            CFolderEntry folder = MakeEntry(folderPath, nullptr, nullptr);
            folder.Classify();
            CFolderCatalog catalog(folder);
            ListSorted(catalog, order, descending, [&shared] { return shared->stop.load(); });
            auto siblings = std::make_shared<Siblings>();
            for (const CFolderEntry& entry : catalog.m_entries) {
                if (entry.IsFile())
                    siblings->push_back(entry);
            }
            std::lock_guard guard(shared->lock);
            shared->siblings = std::move(siblings);
        });
    }
    ~Lister() { state->stop = true; }

    bool Wait(DWORD ms) const { return thread->Wait(ms); }

    std::shared_ptr<const Siblings> Listed() const
    {
        std::lock_guard guard(state->lock);
        return state->siblings;
    }

    std::shared_ptr<State> state;
    std::unique_ptr<CBackgroundThread> thread;
};

CPicturePage::CPicturePage(const CFolderEntry& entry, std::shared_ptr<const Siblings> siblings)
    : m_entry(entry), m_siblings(std::move(siblings))
{
}

void CPicturePage::ListInBackground()
{
    const std::string& path = m_entry.m_path;
    const size_t slash = path.find_last_of("\\/");
    m_lister = std::make_shared<Lister>(slash == std::string::npos ? path : path.substr(0, slash),
                                        g_settings.SortOrder, g_settings.SortDescending);
}

void CPicturePage::SortChoiceChanged(std::shared_ptr<const Siblings> handed)
{
    // Without them the next walk lists the folder again.
    m_siblings = std::move(handed);
    m_lister.reset();
}

void CPicturePage::Start()
{
    m_zoom.SetWindow(ShownBox());
    StartReading();
}

bool CPicturePage::GetDetailsPath(std::string* path) const
{
    *path = m_entry.m_path;
    return true;
}

std::string CPicturePage::GetStatusText() const
{
    return PhotoLine(m_picture.m_width, m_picture.m_height, m_picture.m_facts);
}

CSize CPicturePage::Layout(const RECT* area)
{
    m_zoom.SetWindow(SIZE{area->right - area->left, area->bottom - area->top});
    return CPage::Layout(area);
}

void CPicturePage::Draw(CDC* dc, const RECT*)
{
    TakePicture();
    if (dc->IsPrinting()) {
        // Paper always gets the whole picture, as the page opened, also
        // while the window's is still being decoded; a picture that moves
        // prints its first frame.
        CPictureBitmap printed;
        if (!m_picture.m_hBitmap) {
            try {
                printed.LoadFromFile(m_entry.m_path, {}, ShownBox());
            } catch (...) {
                // A picture that cannot be opened prints nothing.
            }
        }
        DrawPictureFile(dc, GetDrawArea(dc), m_picture.m_hBitmap ? m_picture : printed, m_entry.m_path);
    } else if (!m_picture.m_hBitmap) {
        DrawPictureFitted(dc, GetDrawArea(dc), m_picture, 0, 0);  // black
    } else if (m_player && m_player->Frame()) {
        m_player->Draw(dc, m_bounds, m_zoom.ShownSize(), m_zoom.Origin(), m_zoom.Scale());
    } else if (m_zoom.IsFitted()) {
        DrawPictureFile(dc, GetDrawArea(dc), m_picture, m_entry.m_path);
    } else {
        DrawZoomed(dc);
    }
}

CMenu* CPicturePage::GetContextMenu(const POINT&)
{
    auto* menu = new CMenu;
    menu->LoadMenu(IDR_MENU_PICTURE);
    return menu;
}

const CPicturePage::Siblings* CPicturePage::ListSiblings(DWORD wait)
{
    if (!m_siblings) {
        if (!m_lister)
            ListInBackground();
        m_lister->Wait(wait);
        m_siblings = m_lister->Listed();
    }
    return m_siblings.get();
}

bool CPicturePage::WalkKey(UINT key)
{
    int step;
    switch (key) {
    case VK_RIGHT: case VK_NEXT: case VK_SPACE: step = 1; break;
    case VK_LEFT: case VK_PRIOR: step = -1; break;
    case VK_HOME: step = INT_MIN; break;
    case VK_END: step = INT_MAX; break;
    default: return false;
    }
    Walk(step);
    return true;
}

void CPicturePage::Walk(int step)
{
    const Siblings* siblings = ListSiblings(kWalkWait);
    if (!siblings) {
        m_pendingStep = step;  // walked at the tick after the listing
        return;
    }
    m_pendingStep = 0;
    if (siblings->empty())
        return;
    const std::wstring shown = NameKey(m_entry.m_path);
    const auto here = std::find_if(siblings->begin(), siblings->end(),
                                   [&](const CFolderEntry& entry) { return NameKey(entry.m_path) == shown; });
    const int current = here == siblings->end() ? -1 : (int)(here - siblings->begin());
    const int last = (int)siblings->size() - 1;
    int index = step == INT_MIN ? 0 : step == INT_MAX ? last : current + step;
    // No wrapping at the ends, as a folder page's focus does not wrap.
    index = std::clamp(index, 0, last);
    if (index != current)
        ShowSibling(index);
}

void CPicturePage::OnTick()
{
    if (m_pendingStep != 0 && ListSiblings(0))
        Walk(m_pendingStep);
}

void CPicturePage::ShowSibling(int index)
{
    const CFolderEntry& entry = (*m_siblings)[(size_t)index];
    // Back from here, the folder's page has the focus on this picture.
    const int below = g_navigator.GetCurrentIndex() - 1;
    if (below >= 0)
        g_navigator.GetPage(below)->FocusPath(entry.m_path);
    g_navigator.Replace(new CPicturePage(entry, m_siblings));  // this page goes at the next change of the history
}

std::string CPicturePage::GetTitle()
{
    return AfxFindFileName(m_entry.m_path.c_str());
}

void CPicturePage::Turn(int turn)
{
    try {
        // The decoding of the whole picture holds the file open.
        StopWhole(CBackgroundThread::kRetireWait);
        RotatePictureFile(m_entry.m_path, turn);
        m_whole.reset();
        m_part.reset();
        m_picture.LoadFromFile(m_entry.m_path, {}, ShownBox());
        m_zoom.SetPicture(SIZE{m_picture.m_width, m_picture.m_height});
        RedrawPage(nullptr);
    } catch (DWORD error) {
        // The file and the shown picture stay as they were; a file that may
        // not be written says so, as nothing else would tell.
        if (error == ERROR_FILE_READ_ONLY || error == ERROR_WRITE_PROTECT) {
            const std::string name = AfxFindFileName(m_entry.m_path.c_str());
            const std::string text = AfxFormatString(IDS_TURN_READ_ONLY, name.c_str());
            if (CWnd* main = AfxGetMainWnd())
                main->SendMessage(WM_SETMESSAGESTRING, 0, (LPARAM)text.c_str());
        }
    } catch (...) {
        // The file and the shown picture stay as they were.
    }
}

void CPicturePage::OnRotate90()
{
    Turn(Turn90);
}

void CPicturePage::OnRotate180()
{
    Turn(Turn180);
}

void CPicturePage::OnRotate270()
{
    Turn(Turn270);
}

void CPicturePage::OnUpdateRotate(CCmdUI* ui)
{
    ui->Enable(IsJpegPicture(m_entry.m_path));
}

void CPicturePage::OnAddFavorite()
{
    CAddFavoriteDlg dialog(m_entry, AfxGetMainWnd());
    dialog.DoModal();
}

void CPicturePage::OnRename()
{
    CRenameDlg dialog(m_entry.m_path, AfxGetMainWnd());
    if (dialog.DoModal() != IDOK)
        return;
    // The decoding of the whole picture holds the file open.
    StopWhole(CBackgroundThread::kRetireWait);
    const std::string oldPath = m_entry.m_path;
    CWnd* main = AfxGetMainWnd();
    if (ShellRename(main ? main->m_hWnd : nullptr, oldPath, dialog.m_name) != FileOperationResult::Done)
        return;  // the system has said why, or the user cancelled
    const size_t slash = oldPath.find_last_of("\\/");
    const std::string folder = oldPath.substr(0, slash == std::string::npos ? 0 : slash);
    const std::string newPath = folder + "\\" + dialog.m_name;
    RenameThumbnailRecord(folder, oldPath, newPath);
    m_entry.m_path = m_entry.m_picturePath = newPath;
    m_entry.m_displayName = dialog.m_name.substr(0, AfxFindExtension(dialog.m_name.c_str()) - dialog.m_name.c_str());
    // The walk goes on in its order from the new name, and Back finds the
    // picture under it.
    if (m_siblings) {
        auto renamed = std::make_shared<Siblings>(*m_siblings);
        const std::wstring key = NameKey(oldPath);
        for (CFolderEntry& sibling : *renamed) {
            if (NameKey(sibling.m_path) == key) {
                sibling.m_path = sibling.m_picturePath = newPath;
                sibling.m_displayName = m_entry.m_displayName;
            }
        }
        m_siblings = std::move(renamed);
    } else {
        m_lister.reset();  // listed again, under the new name, at the next walk
    }
    const int below = g_navigator.GetCurrentIndex() - 1;
    if (auto* folder = below >= 0 ? dynamic_cast<CFolderPage*>(g_navigator.GetPage(below)) : nullptr)
        folder->NoteRenamed(oldPath, newPath);
    if (CPageHost* host = GetPageHost())
        host->SetPageTitle(GetTitle());
}

// ---------------------------------------------------------------- the file

bool CPicturePage::FileKey(UINT key, bool shift)
{
    const bool ctrl = ::GetKeyState(VK_CONTROL) < 0, alt = ::GetKeyState(VK_MENU) < 0;
    if (key == VK_DELETE && !ctrl && !alt)
        DeletePicture(!shift);
    else if ((key == 'C' || key == 'X') && ctrl && !alt && !shift)
        PutFilesOnClipboard({m_entry.m_path}, key == 'X');
    else if (key == VK_RETURN && alt)
        OnProperties();
    else
        return false;
    return true;
}

void CPicturePage::DeletePicture(bool recycle)
{
    // Where the picture was among its folder's, before it goes; a listing
    // under way is given a moment to finish.
    const Siblings* listed = ListSiblings(kDeleteWait);
    auto siblings = listed ? std::make_shared<Siblings>(*listed) : std::make_shared<Siblings>();
    const std::wstring shown = NameKey(m_entry.m_path);
    const auto here = std::find_if(siblings->begin(), siblings->end(),
                                   [&](const CFolderEntry& entry) { return NameKey(entry.m_path) == shown; });
    const size_t index = (size_t)(here - siblings->begin());
    // The decoding of the whole picture holds the file open.
    StopWhole(CBackgroundThread::kRetireWait);
    // One picture: the system's own dialogs keep the window answering.
    CWnd* main = AfxGetMainWnd();
    HWND owner = main ? main->m_hWnd : nullptr;
    const FileOperationResult result = ShellDelete(owner, {m_entry.m_path}, recycle);
    TellFileFailure(owner, result, IDS_DELETE_FAILED);
    if (result != FileOperationResult::Done)
        return;
    if (here != siblings->end())
        siblings->erase(here);
    if (siblings->empty()) {
        if (g_navigator.CanGoBack())
            g_navigator.Back();
        else
            g_navigator.Home();
        return;
    }
    m_siblings = std::move(siblings);
    ShowSibling((int)std::min(index, m_siblings->size() - 1));
}

void CPicturePage::OnDelete()
{
    DeletePicture(true);
}

void CPicturePage::OnDeletePermanently()
{
    DeletePicture(false);
}

void CPicturePage::OnCut()
{
    PutFilesOnClipboard({m_entry.m_path}, true);
}

void CPicturePage::OnCopy()
{
    PutFilesOnClipboard({m_entry.m_path}, false);
}

void CPicturePage::OnOpenWith()
{
    CWnd* main = AfxGetMainWnd();
    if (!ShowOpenWith(main ? main->m_hWnd : nullptr, m_entry.m_path))
        AfxMessageBox(IDS_OPEN_WITH_FAILED, MB_OK | MB_ICONEXCLAMATION);
}

void CPicturePage::OnEditFile()
{
    CWnd* main = AfxGetMainWnd();
    if (!EditFile(main ? main->m_hWnd : nullptr, m_entry.m_path))
        AfxMessageBox(IDS_EDIT_FAILED, MB_OK | MB_ICONEXCLAMATION);
}

void CPicturePage::OnShowInExplorer()
{
    ShowInExplorer({m_entry.m_path});
}

void CPicturePage::OnProperties()
{
    CWnd* main = AfxGetMainWnd();
    ShowProperties(main ? main->m_hWnd : nullptr, {m_entry.m_path});
}
