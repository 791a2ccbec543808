#include "pages/picturepage.h"

#include "afxpath.h"
#include "catalog/picturekinds.h"
#include "core/pagehost.h"
#include "dialogs/addfavoritedlg.h"
#include "imaging/drawing.h"
#include "imaging/losslessturn.h"
#include "res/resource.h"

BEGIN_COMMAND_MAP(CPicturePage, CPage)
    ON_COMMAND(ID_ADD_FAVORITE, OnAddFavorite)
    ON_COMMAND(ID_ADD_TO_FAVORITES, OnAddFavorite)
    ON_COMMAND(ID_ROTATE_90, OnRotate90)
    ON_COMMAND(ID_ROTATE_180, OnRotate180)
    ON_COMMAND(ID_ROTATE_270, OnRotate270)
    ON_UPDATE_COMMAND_UI(ID_ROTATE_90, OnUpdateRotate)
    ON_UPDATE_COMMAND_UI(ID_ROTATE_180, OnUpdateRotate)
    ON_UPDATE_COMMAND_UI(ID_ROTATE_270, OnUpdateRotate)
END_COMMAND_MAP()

CPicturePage::CPicturePage(const CFolderEntry& entry) : m_entry(entry)
{
}

void CPicturePage::Start()
{
    try {
        m_picture.LoadFromFile(m_entry.m_path, {}, ShownBox());
        RedrawPage(nullptr);
    } catch (...) {
        // A picture that cannot be opened leaves the page black.
    }
}

void CPicturePage::Draw(CDC* dc, const RECT*)
{
    DrawPictureFile(dc, GetDrawArea(dc), m_picture, m_entry.m_path);
}

CMenu* CPicturePage::GetContextMenu(const POINT&)
{
    auto* menu = new CMenu;
    menu->LoadMenu(IDR_MENU_PICTURE);
    return menu;
}

std::string CPicturePage::GetTitle()
{
    return AfxFindFileName(m_entry.m_path.c_str());
}

void CPicturePage::Turn(int turn)
{
    try {
        RotatePictureFile(m_entry.m_path, turn);
        m_picture.LoadFromFile(m_entry.m_path, {}, ShownBox());
        RedrawPage(nullptr);
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
