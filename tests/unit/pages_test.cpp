// The picture page and the slideshow page inside the running application:
// what the view shows, what a turn does to the file, and how the show moves.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/vemolyapp.h"
#include "app_driver.h"
#include "catalog/thumbnailcache.h"
#include "colours.h"
#include "core/navigator.h"
#include "folder_entries.h"
#include "folder_pages.h"
#include "folderpage/folderpage.h"
#include "frame/mainframe.h"
#include "imaging/losslessturn.h"
#include "imaging/picture.h"
#include "jpeg_maker.h"
#include "picture_files.h"
#include "recycle_bin.h"
#include "pages/animationplayer.h"
#include "pages/picturepage.h"
#include "pages/slideshowpage.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "running_app.h"
#include "shell/settings.h"
#include "temp_folder.h"
#include "view/vemolyview.h"

namespace {

const auto* const g_environment = testing::AddGlobalTestEnvironment(new RunningApp);

CVemolyView* View()
{
    return CVemolyView::GetActive();
}

CRect Client()
{
    CRect client;
    View()->GetClientRect(&client);
    return client;
}

// What the view shows on the screen, after any pending paint.
Capture Shown()
{
    View()->UpdateWindow();
    return CaptureClient(View()->m_hWnd);
}

bool Lit(DWORD pixel)
{
    return ((pixel >> 16) & 0xFF) > 64 || ((pixel >> 8) & 0xFF) > 64 || (pixel & 0xFF) > 64;
}

// The smallest rectangle holding every pixel that is not (nearly) black.
CRect LitBox(const Capture& shot)
{
    CRect box(shot.width, shot.height, 0, 0);
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            if (Lit(shot.At(x, y)))
                box = CRect(std::min<int>(box.left, x), std::min<int>(box.top, y),
                            std::max<int>(box.right, x + 1), std::max<int>(box.bottom, y + 1));
    return box.left < box.right ? box : CRect();
}

// How far a solid picture's shown colour may stray from its own.
constexpr int kShown = 12;

// The view painted afresh from what the page holds.
Capture Repainted()
{
    View()->Invalidate();
    return Shown();
}

DWORD Centre(const Capture& shot = Shown())
{
    return shot.At(shot.width / 2, shot.height / 2);
}

// A picture that moves, of frames of one colour each (quadrant indices)
// standing delay hundredths of a second; loops as AnimatedGif takes it.
std::string SolidGif(const Quadrants& q, const std::vector<char>& colours, int delay, int loops = -1)
{
    std::vector<GifFrame> frames;
    for (char colour : colours)
        frames.push_back({std::string(160 * 120, colour), {}, delay});
    return AnimatedGif(160, 120, q, frames, loops);
}

DWORD ScreenColour(COLORREF colour)
{
    return (DWORD)GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
}

void Command(UINT id)
{
    View()->SendMessage(WM_COMMAND, id);
}

std::string Caption()
{
    return theApp.m_pMainWnd->GetWindowText();
}

size_t TurnLeftovers()
{
    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((std::string(temp) + "JPG*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    size_t count = 0;
    do
        ++count;
    while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return count;
}

class PageTest : public testing::Test {
protected:
    void TearDown() override { BackToHome(); }

    CPicturePage* OpenPicture(const std::string& path)
    {
        auto* page = new CPicturePage(EntryOf(path));
        g_navigator.Navigate(page);
        ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
        // Decoded off the window's thread, taken as the window paints.
        EXPECT_TRUE(WaitUntil([page] { return !page->Decoding(); }));
        return page;
    }

    TempFolder temp;
};

// ---------------------------------------------------------------- the picture page

using PicturePage = PageTest;

TEST_F(PicturePage, ASmallPictureKeepsItsSizeLargeOnesShrinkWithTheirProportions)
{
    const CRect client = Client();
    ASSERT_GT(client.Width(), 300);
    ASSERT_GT(client.Height(), 200);

    OpenPicture(temp.WriteFile("small.jpg", MakeJpeg(SolidRecipe(160, 96, 255, 0, 0))));
    CRect box = LitBox(Shown());
    EXPECT_EQ(box.Size(), CSize(160, 96));
    EXPECT_EQ(box.left, (client.Width() - 160) / 2);
    EXPECT_EQ(box.top, (client.Height() - 96) / 2);
    EXPECT_TRUE(Near(Centre(), 0xFF0000, kShown));
    // The same 294 characters deep, in a folder of 199.
    const std::string deep = PathOfLength(temp.MakeFolderOfLength(199), 294);
    OpenPicture(temp.WriteFile(deep.substr(temp.Path().size() + 1), MakeJpeg(SolidRecipe(160, 96, 255, 0, 0))));
    EXPECT_EQ(LitBox(Shown()).Size(), CSize(160, 96));
    EXPECT_EQ(Caption(), deep.substr(200) + " - Orlivane");

    // One too wide and one too tall for the view: each fills it one way.
    struct Case {
        int width, height;
    };
    for (const Case& c : {Case{client.Width() * 3, client.Width()}, Case{client.Height(), client.Height() * 4}}) {
        const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + ".jpg";
        OpenPicture(temp.WriteFile(name, MakeJpeg(SolidRecipe(c.width, c.height, 0, 255, 0))));
        box = LitBox(Shown());
        const double scale = std::min((double)client.Width() / c.width, (double)client.Height() / c.height);
        EXPECT_NEAR(box.Width(), c.width * scale, 1) << name;
        EXPECT_NEAR(box.Height(), c.height * scale, 1) << name;
        EXPECT_NEAR(box.left, client.Width() - box.right, 1) << name << ": centred across";
        EXPECT_NEAR(box.top, client.Height() - box.bottom, 1) << name << ": centred down";
    }

    // A narrower window fits the last picture anew.
    CRect frame;
    theApp.m_pMainWnd->GetWindowRect(&frame);
    ::SetWindowPos(theApp.m_pMainWnd->m_hWnd, nullptr, 0, 0, frame.Width(), frame.Height() - 120,
                   SWP_NOMOVE | SWP_NOZORDER);
    const CRect smaller = Client();
    box = LitBox(Shown());
    ::SetWindowPos(theApp.m_pMainWnd->m_hWnd, nullptr, 0, 0, frame.Width(), frame.Height(),
                   SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_EQ(smaller.Height(), client.Height() - 120);
    EXPECT_NEAR(box.Height(), smaller.Height(), 1);
    EXPECT_NEAR(box.Width(), smaller.Height() / 4.0, 1);
}

TEST_F(PicturePage, EachTurnRewritesTheFileLosslesslyAndShowsTheResultUnderTheSameTitle)
{
    JpegRecipe recipe;  // a 4:2:0 gradient that shows any turn
    recipe.width = 100;
    recipe.height = 75;
    const std::string original = MakeJpeg(recipe);
    const std::string path = temp.WriteFile("turn me.jpg", original);
    TempFolder elsewhere;
    const std::string reference = elsewhere.WriteFile("reference.jpg", original);

    CPicturePage* page = OpenPicture(path);
    const std::string caption = Caption();
    EXPECT_EQ(caption, "turn me.jpg - Orlivane");

    struct Step {
        UINT command;
        int turn;
        CSize size;
    };
    for (const Step& step : {Step{ID_ROTATE_90, Turn90, CSize(64, 100)}, Step{ID_ROTATE_180, Turn180, CSize(64, 96)},
                             Step{ID_ROTATE_270, Turn270, CSize(96, 64)}}) {
        Command(step.command);
        RotatePictureFile(reference, step.turn);
        const std::string turned = ReadWholeFile(path);
        EXPECT_EQ(turned, ReadWholeFile(reference)) << step.command;
        const JpegContent content = ReadJpeg(turned);
        EXPECT_EQ(CSize(content.width, content.height), step.size) << step.command;
        EXPECT_EQ(CSize(page->Picture().m_width, page->Picture().m_height), step.size) << step.command;

        // On screen, pixel for pixel what the turned file holds.
        const Capture shot = Shown();
        const CRect client = Client();
        const int left = (client.Width() - content.width) / 2;
        const int top = (client.Height() - content.height) / 2;
        int differing = 0;
        for (int y = 0; y < content.height; ++y) {
            for (int x = 0; x < content.width; ++x) {
                const unsigned char* rgb = &content.rgb[((size_t)y * content.width + x) * 3];
                differing += !Near(shot.At(left + x, top + y), CapturedRgb(rgb[0], rgb[1], rgb[2]), 3);
            }
        }
        EXPECT_EQ(differing, 0) << step.command;
        EXPECT_EQ(Caption(), caption);
    }

    // Without the library's own turn to compare with: clockwise, the new top
    // row is the original's left column read upwards, from its last whole block row.
    temp.WriteFile("turn me.jpg", original);
    Command(ID_ROTATE_90);
    const JpegContent before = ReadJpeg(original);
    const JpegContent after = ReadJpeg(ReadWholeFile(path));
    ASSERT_EQ(CSize(after.width, after.height), CSize(64, 100));
    double difference = 0;
    for (int y = 0; y < after.height; ++y)
        for (int x = 0; x < after.width; ++x)
            for (int c = 0; c < 3; ++c)
                difference += std::abs(after.rgb[((size_t)y * after.width + x) * 3 + c]
                                       - before.rgb[((size_t)(63 - x) * before.width + y) * 3 + c]);
    EXPECT_LT(difference / (after.width * after.height * 3), 4.0);
}

TEST_F(PicturePage, ATurnedPictureGetsANewThumbnailOnTheNextVisitToItsFolder)
{
    JpegRecipe recipe;
    recipe.width = 100;
    recipe.height = 75;
    const std::string path = temp.WriteFile("p.jpg", MakeJpeg(recipe));
    const std::string cacheFile = CacheFileName(temp.Path());
    ::DeleteFileA(cacheFile.c_str());

    auto thumbnail = [&] {
        CFolderPage* folder = OpenFolderPage(temp.Path());
        const CThumbnail* made = folder->Catalog().m_entries.front().m_thumbnail.get();
        EXPECT_TRUE(WaitUntil([&] { return made->Bitmap() != nullptr; }));
        EXPECT_TRUE(WaitUntil([&] { return FileExists(cacheFile) && ReadWholeFile(cacheFile).size() > 64 + 256; }));
        return CSize(made->m_width, made->m_height);
    };
    ASSERT_EQ(thumbnail(), CSize(90, 67));

    OpenPicture(path);
    Command(ID_ROTATE_90);
    ASSERT_EQ(ReadJpeg(ReadWholeFile(path), false).width, 64);
    BackToHome();
    EXPECT_EQ(thumbnail(), CSize(57, 90)) << "made from the turned picture, not taken from the cache";
}

TEST_F(PicturePage, ATurnThatCannotBeDoneLeavesFileAndPageAsTheyWere)
{
    JpegRecipe recipe;
    recipe.width = 160;
    recipe.height = 120;
    const std::string bytes = MakeJpeg(recipe);
    const std::string path = temp.WriteFile("p.jpg", bytes);
    CPicturePage* page = OpenPicture(path);
    const Capture before = Shown();
    ASSERT_EQ(LitBox(before).Size(), CSize(160, 120));
    const size_t leftovers = TurnLeftovers();

    auto unchanged = [&](const char* why) {
        EXPECT_EQ(CSize(page->Picture().m_width, page->Picture().m_height), CSize(160, 120)) << why;
        EXPECT_EQ(Repainted().pixels, before.pixels) << why;
        EXPECT_EQ(TurnLeftovers(), leftovers) << why << ": a temporary file stayed";
    };

    HANDLE lock = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    Command(ID_ROTATE_90);
    ::CloseHandle(lock);
    EXPECT_EQ(ReadWholeFile(path), bytes);
    unchanged("locked");

    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    Command(ID_ROTATE_270);
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadWholeFile(path), bytes);
    unchanged("read-only");
    EXPECT_EQ(CMainFrame::Get()->GetMessageBar()->GetWindowText(), "Could not turn p.jpg: the file is read-only.");
    theApp.m_pMainWnd->SendMessage(WM_SETMESSAGESTRING, AFX_IDS_IDLEMESSAGE);  // it would stand 5 s into the next test

    ASSERT_TRUE(::DeleteFileA(path.c_str()));
    Command(ID_ROTATE_180);
    EXPECT_FALSE(FileExists(path));
    unchanged("deleted");
}

TEST_F(PicturePage, APictureThatCannotBeShownGivesABlackPage)
{
    OpenPicture(temp.WriteFile("lit.jpg", MakeJpeg(SolidRecipe(200, 100, 255, 255, 255))));
    ASSERT_FALSE(LitBox(Shown()).IsRectEmpty());

    JpegRecipe cmyk = SolidRecipe(200, 100, 255, 255, 0);
    cmyk.kind = JpegKind::Cmyk;
    OpenPicture(temp.WriteFile("cmyk.jpg", MakeJpeg(cmyk)));
    EXPECT_TRUE(LitBox(Shown()).IsRectEmpty());
    EXPECT_EQ(Caption(), "cmyk.jpg - Orlivane");

    OpenPicture(temp.WriteFile("lit2.jpg", MakeJpeg(SolidRecipe(200, 100, 255, 255, 255))));
    OpenPicture(temp / "missing.jpg");
    EXPECT_TRUE(LitBox(Shown()).IsRectEmpty());
}

TEST_F(PicturePage, ContextMenuOffersAddToFavoritesButNotOpen)
{
    CPicturePage* page = OpenPicture(temp.WriteFile("p.jpg", MakeJpeg(SolidRecipe(32, 32, 9, 9, 9))));
    std::unique_ptr<CMenu> menu(page->GetContextMenu(CPoint(5, 5)));
    ASSERT_NE(menu, nullptr);
    HMENU popup = menu->GetSubMenu(0);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(::GetMenuItemCount(popup), 13);
    EXPECT_EQ(::GetMenuItemID(popup, 0), (UINT)ID_OPEN);
    EXPECT_EQ(::GetMenuItemID(popup, 9), 0u) << "a separator";
    EXPECT_EQ(::GetMenuItemID(popup, 10), (UINT)ID_ADD_TO_FAVORITES);
    char text[32] = "";
    ::GetMenuStringA(popup, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Open");

    // As the frame prepares the popup when it opens.
    theApp.m_pMainWnd->SendMessage(WM_INITMENUPOPUP, (WPARAM)popup, MAKELPARAM(0, FALSE));
    EXPECT_TRUE(::GetMenuState(popup, ID_OPEN, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(::GetMenuState(popup, ID_ADD_TO_FAVORITES, MF_BYCOMMAND) & MF_GRAYED);

    EXPECT_FALSE(CommandEnabled(ID_OPEN));
    for (UINT id : {ID_ADD_FAVORITE, ID_ADD_TO_FAVORITES, ID_ROTATE_90, ID_ROTATE_180, ID_ROTATE_270, ID_OPEN_WITH,
                    ID_EDIT_FILE, ID_SHOW_IN_EXPLORER, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_CLEAR, ID_PROPERTIES})
        EXPECT_TRUE(CommandEnabled(id)) << id;
    EXPECT_FALSE(CommandEnabled(ID_PLAY)) << "no slideshow from a picture";
}

// Only JPEG files turn losslessly, whatever their extension's spelling; a
// picture of another format refuses, and the status bar says why.
TEST_F(PicturePage, RotateTurnsJpegPicturesOnly)
{
    const std::string jpeg = temp.WriteFile("camera.JPEG", MakeJpeg(SolidRecipe(64, 32, 9, 9, 9)));
    OpenPicture(jpeg);
    EXPECT_TRUE(CommandEnabled(ID_ROTATE_90));
    theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_ROTATE_90);
    const JpegContent turned = ReadJpeg(ReadWholeFile(jpeg), false);
    EXPECT_EQ(CSize(turned.width, turned.height), CSize(32, 64));

    for (const char* name : {"scan.png", "phone.heic", "p.heif", "p.hif", "p.avif", "web.webp", "PHONE.HEIC"}) {
        OpenPicture(temp.WriteFile(name, "not read for this"));
        for (UINT id : {ID_ROTATE_90, ID_ROTATE_180, ID_ROTATE_270})
            EXPECT_FALSE(CommandEnabled(id)) << name << " " << id;
        EXPECT_EQ(CMainFrame::Get()->GetMessageString(ID_ROTATE_90), AfxLoadString(IDS_ROTATE_JPEG_ONLY)) << name;
    }
    g_navigator.Home();
    EXPECT_EQ(CMainFrame::Get()->GetMessageString(ID_ROTATE_90), "Rotate picture 90 degrees")
        << "a page without pictures keeps the usual prompt";
}

// The picture is decoded off the window's thread: a page whose file is slow
// to come (through a pipe, here) opens at once, black, and shows the
// picture with its size once it is there.
TEST_F(PicturePage, OpensAtOnceAndShowsThePictureOnceItIsRead)
{
    const std::string jpeg = MakeJpeg(SolidRecipe(160, 96, 255, 0, 0));
    const std::wstring name = L"\\\\.\\pipe\\orlivane-" + std::to_wstring(::GetCurrentProcessId()) + L".jpg";
    const HANDLE pipe = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                           (DWORD)jpeg.size() * 2, 0, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    const HANDLE opened = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> gaveUp{false};
    // The bytes come once the page has opened, or after 10 s all the same.
    std::thread writer([&] {
        gaveUp = ::WaitForSingleObject(opened, 10000) == WAIT_TIMEOUT;
        ::ConnectNamedPipe(pipe, nullptr);
        DWORD written = 0;
        ::WriteFile(pipe, jpeg.data(), (DWORD)jpeg.size(), &written, nullptr);
        ::CloseHandle(pipe);  // the reader reads to the end of what was written
    });
    auto* page = new CPicturePage(EntryOf(AfxUtf8(name)));
    g_navigator.Navigate(page);
    EXPECT_FALSE(gaveUp) << "the page waited for its file";
    EXPECT_TRUE(Near(Centre(), 0x000000, kShown));
    ::SetEvent(opened);
    EXPECT_TRUE(WaitUntil([page] { return !page->Decoding(); }));
    writer.join();
    ::CloseHandle(opened);
    EXPECT_TRUE(Near(Centre(Repainted()), 0xFF0000, kShown));
    EXPECT_EQ(page->GetStatusText(), "160 \u00D7 96");
}

// A picture that moves plays its frames in the file's order, once when the
// file says no more; left, it stops, and back on it, it plays again.
TEST_F(PicturePage, AnAnimationPlaysItsFramesInOrderAndStopsWhenThePageIsLeft)
{
    const Quadrants q;
    const std::vector<DWORD> colours = {ScreenColour(q.colour[0]), ScreenColour(q.colour[1]), ScreenColour(q.colour[2])};
    CPicturePage* page = OpenPicture(temp.WriteFile("moving.gif", SolidGif(q, {0, 1, 2}, 25)));
    const std::string artifacts = WindowsPath(TestSetting("ORLIVANE_ARTIFACTS"));
    ::CreateDirectoryA(artifacts.c_str(), nullptr);
    const auto played = [&] {
        std::vector<DWORD> seen;
        EXPECT_TRUE(WaitUntil([&] {
            const Capture shot = Shown();
            for (DWORD colour : colours) {
                if (Near(Centre(shot), colour, kShown) && (seen.empty() || seen.back() != colour)) {
                    seen.push_back(colour);
                    if (seen.size() == 2) {
                        EXPECT_TRUE(shot.SaveBmp(artifacts + "\\animation-playing.bmp"));
                    }
                }
            }
            return page->Player() && page->Player()->Ended();
        }));
        return seen;
    };
    EXPECT_EQ(played(), colours);
    EXPECT_TRUE(Near(Centre(Repainted()), colours.back(), kShown)) << "it ends on its last frame";

    g_navigator.Back();
    EXPECT_EQ(page->Player(), nullptr);
    g_navigator.Forward();
    EXPECT_EQ(played(), colours);
}

// The message pane tells the photo's size, then its date taken as the
// camera's clock showed it, its camera and its exposure; a picture without
// tags gives its size alone.
TEST_F(PicturePage, TheStatusLineGivesTheSizeThenWhatTheExifSays)
{
    const std::string folder = TestSetting("ORLIVANE_EXIF_DATA");
    if (folder.empty())
        GTEST_SKIP() << "no exiftool in this build";
    const auto taken = [](WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
        const SYSTEMTIME time{year, month, 0, day, hour, minute, second, 0};
        wchar_t date[128], clock[128];
        ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 128, nullptr);
        ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, clock, 128);
        return AfxUtf8(date) + " " + AfxUtf8(clock);
    };
    const auto messagePane = [] {
        theApp.OnIdle(0);
        const HWND bar = ::GetDlgItem(theApp.m_pMainWnd->m_hWnd, AFX_IDW_STATUS_BAR);
        wchar_t text[256] = L"";
        ::GetWindowTextW(bar, text, 256);
        return AfxUtf8(text);
    };
    const struct {
        const char* name;
        std::string line;
    } photos[] = {
        {"all.jpg", "64 \u00D7 48, " + taken(2024, 5, 1, 10, 15, 7) + ", Canon PowerShot S5 IS, 1/1000 s f/4.0 ISO 80 6 mm"},
        {"digitized.jpg", "64 \u00D7 48, " + taken(2019, 12, 31, 23, 59, 59) + ", NIKON D750, 1/3 s f/2.8 ISO 6400 50 mm"},
        {"modified.jpg", "64 \u00D7 48, " + taken(2001, 9, 9, 1, 46, 40) + ", DSC-RX100"},
        // Through the system's decoders, turned upright as shown.
        {"all.tif", "48 \u00D7 64, " + taken(2024, 5, 1, 10, 15, 7) + ", Canon PowerShot S5 IS, 1/1000 s f/4.0 ISO 80 6 mm"},
        {"digitized.png", "64 \u00D7 48, " + taken(2019, 12, 31, 23, 59, 59) + ", NIKON D750, 1/3 s f/2.8 ISO 6400 50 mm"},
    };
    for (const auto& photo : photos) {
        OpenPicture(WindowsPath(folder + "/" + photo.name));
        EXPECT_EQ(messagePane(), photo.line) << photo.name;
    }
    OpenPicture(temp.WriteFile("plain.jpg", MakeJpeg(SolidRecipe(40, 30, 9, 9, 9))));
    EXPECT_EQ(messagePane(), "40 \u00D7 30");

    // A passing message stands its time through idle passes, then the line comes back.
    const char passing[] = "Passing by";
    theApp.m_pMainWnd->SendMessage(WM_SETMESSAGESTRING, 0, (LPARAM)passing);
    EXPECT_EQ(messagePane(), passing);
    EXPECT_TRUE(WaitUntil([&] { return messagePane() == "40 \u00D7 30"; })) << messagePane();
}

// ---------------------------------------------------------------- looking closer

// A picture whose every pixel tells where it lies: red counts eighths
// across, green eighths down; lossless, so that it reads back exactly.
std::string WherePng(int width, int height)
{
    std::string bgr((size_t)width * height * 3, '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            char* pixel = &bgr[((size_t)y * width + x) * 3];
            pixel[0] = (char)128;
            pixel[1] = (char)(y / 8);
            pixel[2] = (char)(x / 8);
        }
    return Encode(GUID_ContainerFormatPng, GUID_WICPixelFormat24bppBGR, width, height, {bgr});
}

// The picture point a screen pixel of WherePng shows, to 8 pixels.
POINT WhereShown(DWORD pixel)
{
    return POINT{(LONG)((pixel >> 16) & 0xFF) * 8 + 4, (LONG)((pixel >> 8) & 0xFF) * 8 + 4};
}

void Key(UINT key)
{
    View()->SendMessage(WM_KEYDOWN, key, 0);
}

void Wheel(POINT client, int delta, WPARAM keys = 0)
{
    ::ClientToScreen(View()->m_hWnd, &client);
    View()->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(keys, (WORD)(short)delta), MAKELPARAM(client.x, client.y));
}

// Shown once the page holds every pixel of the picture.
Capture ShownWhole(const CPicturePage* page)
{
    const auto whole = [page] {
        Shown();
        const CPictureBitmap& picture = page->Picture();
        return page->WholePicture() != nullptr || picture.BitmapSize().cx == picture.m_width;
    };
    EXPECT_TRUE(WaitUntil(whole));
    return Repainted();
}

TEST_F(PicturePage, TheWheelZoomsAboutThePictureUnderThePointer)
{
    const CRect client = Client();
    const CPicturePage* page = OpenPicture(temp.WriteFile("where.png", WherePng(2048, 1536)));
    const POINT pointer{client.Width() / 5, client.Height() / 4};
    Key('1');
    const POINT at = WhereShown(Shown().At(pointer.x, pointer.y));
    // In to 900 % and out again, notch by notch, where no edge of the
    // picture holds it back; a pinch comes as Ctrl+wheel.
    for (int notch = 0; notch < 20; ++notch) {
        Wheel(pointer, notch < 10 ? WHEEL_DELTA : -WHEEL_DELTA, notch % 2 ? MK_CONTROL : 0);
        const POINT now = WhereShown(Shown().At(pointer.x, pointer.y));
        // The colours tell within 8 pixels.
        EXPECT_NEAR(now.x, at.x, 10) << "notch " << notch << ", " << page->GetZoomText();
        EXPECT_NEAR(now.y, at.y, 10) << "notch " << notch << ", " << page->GetZoomText();
    }
    EXPECT_EQ(page->GetZoomText(), "100 %") << "each step stops at 100 %";
    for (int notch = 0; notch < 30; ++notch)
        Wheel(pointer, -WHEEL_DELTA / 2);
    EXPECT_EQ(page->GetZoomText(), "6 %") << "half notches add up, down to 1/16 of the actual size";
}

TEST_F(PicturePage, ADragMovesAZoomedPictureWithThePointerUpToItsEdges)
{
    const CRect client = Client();
    const CPicturePage* page = OpenPicture(temp.WriteFile("where.png", WherePng(2048, 1536)));
    Key('1');
    const Capture before = ShownWhole(page);
    const POINT from{client.Width() / 2, client.Height() / 2};
    const auto drag = [](POINT from, POINT to) {
        View()->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        View()->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((from.x + to.x) / 2, (from.y + to.y) / 2));
        View()->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
        View()->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    };
    const POINT to{from.x - 70, from.y + 45};
    drag(from, to);
    const Capture after = Shown();
    EXPECT_EQ(after.At(to.x, to.y), before.At(from.x, from.y));
    EXPECT_EQ(after.At(to.x - 33, to.y - 21), before.At(from.x - 33, from.y - 21));
    EXPECT_EQ(::GetCapture(), nullptr);

    // Far beyond its top-left corner: the corner stays at the window's.
    drag(POINT{10, 10}, POINT{client.Width() - 10, client.Height() - 10});
    EXPECT_EQ(Shown().At(0, 0), 0x000080u) << "the picture's corner pixel";
}

TEST_F(PicturePage, AtActualSizeEachScreenPixelIsOnePicturePixelAndFrom400PercentASquare)
{
    const CRect client = Client();
    // One pixel black, the next white, larger than the window.
    const int width = client.Width() + 200, height = client.Height() + 200;
    std::string bgr((size_t)width * height * 3, '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((x + y) % 2)
                std::memset(&bgr[((size_t)y * width + x) * 3], 0xFF, 3);
    const CPicturePage* page = OpenPicture(
        temp.WriteFile("checks.png", Encode(GUID_ContainerFormatPng, GUID_WICPixelFormat24bppBGR, width, height, {bgr})));
    EXPECT_FALSE(CommandEnabled(ID_ZOOM_FIT)) << "opened fitted";
    EXPECT_TRUE(CommandEnabled(ID_ZOOM_ACTUAL));
    Key('1');
    Capture shot = ShownWhole(page);
    EXPECT_EQ(page->GetZoomText(), "100 %");
    EXPECT_FALSE(CommandEnabled(ID_ZOOM_ACTUAL));
    EXPECT_TRUE(CommandEnabled(ID_ZOOM_FIT));
    int wrong = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x + 1 < shot.width; ++x)
            wrong += (shot.At(x, y) != 0 && shot.At(x, y) != 0xFFFFFF) || shot.At(x, y) == shot.At(x + 1, y);
    EXPECT_EQ(wrong, 0) << "pixels not alternating black and white at 100 %";

    while (page->Zoom().Scale() < 4)
        Key(VK_ADD);
    shot = Shown();
    wrong = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            wrong += shot.At(x, y) != 0 && shot.At(x, y) != 0xFFFFFF;
    EXPECT_EQ(wrong, 0) << "blended pixels at " << page->GetZoomText();
}

TEST_F(PicturePage, ZeroFitsAZoomedPictureAgainExactlyAsItOpened)
{
    const CRect client = Client();
    JpegRecipe recipe = PhotoRecipe(client.Width() * 2, client.Height() * 3);
    const CPicturePage* page = OpenPicture(temp.WriteFile("photo.jpg", MakeJpeg(recipe)));
    const Capture opened = Shown();
    for (UINT key : {VK_ADD, VK_OEM_PLUS, VK_SUBTRACT, VK_ADD, VK_ADD})
        Key(key);
    EXPECT_FALSE(page->Zoom().IsFitted());
    EXPECT_NE(Shown().pixels, opened.pixels);
    Key('0');
    EXPECT_TRUE(page->Zoom().IsFitted());
    EXPECT_EQ(Shown().pixels, opened.pixels);
    Key(VK_NUMPAD1);
    EXPECT_EQ(page->GetZoomText(), "100 %");
    Key(VK_NUMPAD0);
    EXPECT_EQ(Repainted().pixels, opened.pixels);
}

TEST_F(PicturePage, ArrowsMoveAZoomedPictureAndWalkTheFolderFromAFittedOne)
{
    const CRect client = Client();
    OpenPicture(temp.WriteFile("a.png", WherePng(2048, 1536)));
    temp.WriteFile("b.png", WherePng(64, 48));
    const POINT centre{client.Width() / 2, client.Height() / 2};
    Key('1');
    const POINT before = WhereShown(Shown().At(centre.x, centre.y));
    Key(VK_RIGHT);
    Key(VK_DOWN);
    const POINT after = WhereShown(Shown().At(centre.x, centre.y));
    EXPECT_EQ(Caption(), "a.png - Orlivane");
    EXPECT_NEAR(after.x - before.x, client.Width() / 10, 8);
    EXPECT_NEAR(after.y - before.y, client.Height() / 10, 8);
    Key(VK_NEXT);
    EXPECT_EQ(Caption(), "b.png - Orlivane") << "Page Down walks whatever the zoom";
    Key(VK_LEFT);
    EXPECT_EQ(Caption(), "a.png - Orlivane") << "a fitted picture walks";
}

TEST_F(PicturePage, DeleteShowsTheNextPictureAtTheEndThePreviousAndWithNoneLeftTheFolder)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        temp.WriteFile(name, MakeJpeg(SolidRecipe(32, 32, 200, 9, 9)));
    CFolderPage* folder = OpenFolderPage(temp.Path());
    OpenPicture(temp / "b.jpg");
    const auto deleted = [] { return Confirmed([] { Key(VK_DELETE); return FileOperationResult::Done; }); };
    deleted();
    EXPECT_FALSE(FileExists(temp / "b.jpg"));
    EXPECT_EQ(Caption(), "c.jpg - Orlivane");
    deleted();
    EXPECT_EQ(Caption(), "a.jpg - Orlivane") << "the last one gone, the one before";
    deleted();
    EXPECT_FALSE(FileExists(temp / "a.jpg"));
    EXPECT_EQ(g_navigator.GetCurrentPage(), folder) << "none left: back to the folder";
}

// ---------------------------------------------------------------- the slideshow page

class Slideshow : public PageTest {
protected:
    void SetUp() override
    {
        savedDelay = g_settings.Delay;
        // Long enough that the real timer never fires while a case runs.
        g_settings.Delay = 9000;
        bar = &CMainFrame::Get()->GetSlideshowBar();
    }
    void TearDown() override
    {
        PageTest::TearDown();
        g_settings.Delay = savedDelay;
    }

    CSlideshowPage* Play(const std::string& folder)
    {
        auto* page = new CSlideshowPage(EntryOf(folder));
        g_navigator.Navigate(page);
        ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
        return page;
    }
    // Pictures named by their colour, in this order in the catalog.
    void Pictures(const std::vector<DWORD>& colours)
    {
        for (size_t i = 0; i < colours.size(); ++i) {
            const DWORD c = colours[i];
            temp.WriteFile(std::string(1, (char)('a' + i)) + ".jpg",
                           MakeJpeg(SolidRecipe(160, 120, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF)));
        }
    }
    void Tick()
    {
        ::SetForegroundWindow(theApp.m_pMainWnd->m_hWnd);
        View()->SendMessage(WM_TIMER, CVemolyView::kTickTimer);
    }
    void Click()
    {
        const CRect client = Client();
        const LPARAM at = MAKELPARAM(client.Width() / 2, client.Height() / 2);
        View()->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
        View()->SendMessage(WM_LBUTTONUP, 0, at);
    }
    std::string Counter() const
    {
        char text[64] = "";
        ::GetWindowTextA(::GetDlgItem(bar->m_hWnd, IDC_COUNTER), text, sizeof text);
        return text;
    }
    HWND Position() const { return ::GetDlgItem(bar->m_hWnd, IDC_POSITION); }
    // The user lets go of the position slider at number.
    void Seek(int number)
    {
        ::SendMessageA(Position(), TBM_SETPOS, TRUE, number);
        bar->SendMessage(WM_HSCROLL, SB_ENDSCROLL, (LPARAM)Position());
    }
    static std::string Status()
    {
        HWND statusBar = ::GetDlgItem(theApp.m_pMainWnd->m_hWnd, AFX_IDW_STATUS_BAR);
        char text[MAX_PATH * 2] = "";
        if (LOWORD(::SendMessageA(statusBar, SB_GETTEXTLENGTHA, 0, 0)) < sizeof text)
            ::SendMessageA(statusBar, SB_GETTEXTA, 0, (LPARAM)text);
        return text;
    }

    static constexpr DWORD kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;
    CSlideshowBar* bar = nullptr;
    int savedDelay = 0;
};

TEST_F(Slideshow, ThreePicturesFollowEachOtherAndLoopWithTheirPathsInTheStatusBar)
{
    Pictures({kRed, kGreen, kBlue});
    Play(temp.Path());
    EXPECT_EQ(Caption(), temp.Path().substr(temp.Path().rfind('\\') + 1) + " - Orlivane");

    struct Expected {
        const char* counter;
        DWORD colour;
        const char* name;
    };
    const Expected sequence[] = {{"1 of 3", kRed, "a.jpg"},
                                 {"2 of 3", kGreen, "b.jpg"},
                                 {"3 of 3", kBlue, "c.jpg"},
                                 {"1 of 3", kRed, "a.jpg"},
                                 {"2 of 3", kGreen, "b.jpg"}};
    for (const Expected& now : sequence) {
        EXPECT_EQ(Counter(), now.counter);
        EXPECT_TRUE(Near(Centre(), now.colour, kShown)) << now.counter << ": " << std::hex << Centre();
        EXPECT_EQ(Status(), temp / now.name);
        Tick();
    }
}

// However often the file says it repeats, an animation plays once, and the
// show moves on when both the delay and the animation have run out.
TEST_F(Slideshow, AnAnimationPlaysOnceAndTheShowMovesOnWhenItEnds)
{
    const Quadrants q;
    temp.WriteFile("a.gif", SolidGif(q, {0, 1, 2}, 30, 0));
    temp.WriteFile("b.jpg", MakeJpeg(SolidRecipe(160, 120, 255, 255, 255)));
    CSlideshowPage* page = Play(temp.Path());
    ASSERT_TRUE(WaitUntil([&] { return page->Player() && page->Player()->Frame(); }));
    Tick();
    EXPECT_EQ(Counter(), "1 of 2") << "the delay is up, the animation is not";
    ASSERT_TRUE(WaitUntil([&] { return Counter() == "2 of 2"; }));
    EXPECT_TRUE(WaitUntil([&] { return Near(Centre(), kWhite, kShown); }));
}

TEST_F(Slideshow, ABigPictureDecodesWhileTheWindowGoesOnAndShowsOnceReady)
{
    Pictures({kRed, kGreen});
    temp.WriteFile("c.jpg", MakeJpeg(PhotoRecipe(8000, 6000)));
    CSlideshowPage* page = Play(temp.Path());
    Tick();
    Tick();
    EXPECT_EQ(Counter(), "3 of 3") << "the bar moves on at once";
    EXPECT_EQ(page->Picture().m_width, 160) << "the tick did not wait for the decode";
    EXPECT_TRUE(Near(Centre(), kGreen, kShown)) << "the picture before stays meanwhile";
    Tick();
    EXPECT_EQ(Counter(), "3 of 3") << "no moving on before it showed";

    // Shown as soon as it is decoded, well before the next tick.
    ASSERT_TRUE(WaitUntil([&] { return page->Picture().m_width == 8000; }, 4000));
    EXPECT_FALSE(Near(Centre(), kGreen, kShown)) << std::hex << Centre();
    EXPECT_FALSE(LitBox(Shown()).IsRectEmpty());
    Tick();
    EXPECT_EQ(Counter(), "1 of 3");
}

TEST_F(Slideshow, SubfoldersCountAsEntriesButShowNothing)
{
    temp.MakeFolder("one");
    temp.MakeFolder("two");
    // Pictures inside must not stand in for their folders.
    temp.WriteFile("one\\inner.jpg", MakeJpeg(SolidRecipe(160, 120, 255, 255, 255)));
    temp.WriteFile("two\\inner.jpg", MakeJpeg(SolidRecipe(160, 120, 255, 255, 255)));
    Pictures({kRed, kGreen, kBlue});
    Play(temp.Path());

    EXPECT_EQ(Counter(), "1 of 5");
    EXPECT_EQ(Status(), temp / "one");
    EXPECT_TRUE(LitBox(Shown()).IsRectEmpty());
    Tick();
    EXPECT_EQ(Counter(), "2 of 5");
    EXPECT_EQ(Status(), temp / "two");
    EXPECT_TRUE(LitBox(Shown()).IsRectEmpty());
    Tick();
    EXPECT_EQ(Counter(), "3 of 5");
    EXPECT_TRUE(Near(Centre(), kRed, kShown));
    Tick();
    Tick();
    Tick();
    // Back at the first folder: the last picture stays.
    EXPECT_EQ(Counter(), "1 of 5");
    EXPECT_EQ(Status(), temp / "one");
    EXPECT_TRUE(Near(Centre(Repainted()), kBlue, kShown));
}

TEST_F(Slideshow, AnEmptyFolderReadsOneOfZeroAndStaysBlack)
{
    CSlideshowPage* page = Play(temp.Path());
    EXPECT_EQ(Counter(), "1 of 0");
    Tick();
    Click();
    EXPECT_EQ(Counter(), "1 of 0");
    EXPECT_EQ(page->Index(), 0);
    EXPECT_TRUE(LitBox(Shown()).IsRectEmpty());
}

TEST_F(Slideshow, AClickMovesOnTwoWhilePlayingAndNotAtAllWhilePaused)
{
    Pictures({kRed, kGreen, kBlue, kWhite});
    CSlideshowPage* page = Play(temp.Path());
    Click();
    EXPECT_EQ(Counter(), "3 of 4");
    EXPECT_EQ(page->Index(), 2);
    EXPECT_TRUE(Near(Centre(), kBlue, kShown));

    Command(ID_PAUSE);
    Click();
    Tick();
    EXPECT_EQ(Counter(), "3 of 4");
    EXPECT_TRUE(Near(Centre(), kBlue, kShown));
}

TEST_F(Slideshow, SeekingWhilePausedShowsTheEntryAndPlayGoesOnFromThere)
{
    Pictures({kRed, kGreen, kBlue, kWhite});
    CSlideshowPage* page = Play(temp.Path());
    ASSERT_TRUE(::IsWindowEnabled(Position()));
    Command(ID_PAUSE);

    Seek(3);
    EXPECT_EQ(Counter(), "3 of 4");
    EXPECT_EQ(page->Index(), 2);
    EXPECT_TRUE(Near(Centre(), kBlue, kShown));
    EXPECT_EQ(Status(), temp / "c.jpg");
    EXPECT_FALSE(page->IsPlaying());
    Tick();
    EXPECT_EQ(Counter(), "3 of 4") << "still paused";

    Seek(1);
    EXPECT_EQ(Counter(), "1 of 4");
    EXPECT_TRUE(Near(Centre(), kRed, kShown));
    Seek(4);
    EXPECT_EQ(Counter(), "4 of 4");

    Command(ID_PLAY);
    Tick();
    EXPECT_EQ(Counter(), "1 of 4");
    EXPECT_TRUE(Near(Centre(), kRed, kShown));
}

// Whether this thread asks the system to keep the display on; asking
// changes nothing once a continuous state is set.
bool DisplayKeptOn()
{
    const EXECUTION_STATE state = ::SetThreadExecutionState(0);
    return (state & (ES_CONTINUOUS | ES_DISPLAY_REQUIRED)) == (ES_CONTINUOUS | ES_DISPLAY_REQUIRED);
}

TEST_F(Slideshow, BackThenForwardResumesAtTheSameEntryInTheSameState)
{
    Pictures({kRed, kGreen, kBlue, kWhite});
    CSlideshowPage* page = Play(temp.Path());
    EXPECT_EQ(View()->GetTickInterval(), 9000);
    EXPECT_TRUE(DisplayKeptOn()) << "while it plays";
    Tick();

    for (bool playing : {true, false}) {
        if (!playing)
            Command(ID_PAUSE);
        EXPECT_EQ(DisplayKeptOn(), playing);
        const std::string counter = Counter();
        const DWORD colour = Centre();
        Command(ID_GO_BACK);
        EXPECT_EQ(View()->GetTickInterval(), 500);
        EXPECT_FALSE(::IsWindowEnabled(Position()));
        EXPECT_FALSE(DisplayKeptOn()) << "off the page";
        Command(ID_GO_FORWARD);
        ASSERT_EQ(g_navigator.GetCurrentPage(), page);
        EXPECT_EQ(DisplayKeptOn(), playing);
        EXPECT_EQ(View()->GetTickInterval(), 9000);
        EXPECT_TRUE(::IsWindowEnabled(Position()));
        EXPECT_EQ(Counter(), counter);
        EXPECT_EQ(Centre(), colour);
        EXPECT_EQ(page->IsPlaying(), playing);
        EXPECT_EQ(CommandEnabled(ID_PAUSE), playing);
        EXPECT_EQ(CommandEnabled(ID_PLAY), !playing);
        Tick();
        EXPECT_EQ(Counter() != counter, playing) << counter;
    }
}

TEST_F(Slideshow, PlayAndPauseFollowThePlayingFlagOnTheToolbarAtOnce)
{
    Pictures({kRed});
    HWND toolBar = MainToolBar();
    ASSERT_NE(toolBar, nullptr);
    auto button = [&](UINT id) { return ::SendMessageA(toolBar, TB_ISBUTTONENABLED, id, 0) != 0; };

    theApp.OnIdle(0);
    ASSERT_FALSE(button(ID_PAUSE)) << "nothing to pause on the Home page";
    Play(temp.Path());
    EXPECT_FALSE(CommandEnabled(ID_PLAY));
    EXPECT_TRUE(CommandEnabled(ID_PAUSE));
    // No idle time has passed: the page updated the buttons itself.
    EXPECT_TRUE(button(ID_PAUSE));
    EXPECT_FALSE(button(ID_PLAY));

    Command(ID_PAUSE);
    EXPECT_TRUE(CommandEnabled(ID_PLAY));
    EXPECT_FALSE(CommandEnabled(ID_PAUSE));
    Command(ID_GO_BACK);
    theApp.OnIdle(0);
    ASSERT_FALSE(button(ID_PLAY)) << "the Home page disables Play";
    Command(ID_GO_FORWARD);
    EXPECT_TRUE(button(ID_PLAY));
    EXPECT_FALSE(button(ID_PAUSE));

    Command(ID_PLAY);
    EXPECT_FALSE(CommandEnabled(ID_PLAY));
    EXPECT_TRUE(CommandEnabled(ID_PAUSE));
}

// Full screen is offered on the slideshow (and picture) pages only; the
// slideshow's menu offers whichever of Pause and Play applies, and the way
// out of full screen while the bars that would give it are hidden.
TEST_F(Slideshow, TheMenuOffersPauseOrPlayAndInFullScreenItsExit)
{
    Pictures({kRed});
    EXPECT_FALSE(CommandEnabled(ID_VIEW_FULL_SCREEN)) << "on the Home page";
    CSlideshowPage* page = Play(temp.Path());
    EXPECT_TRUE(CommandEnabled(ID_VIEW_FULL_SCREEN));
    const auto items = [&] {
        std::unique_ptr<CMenu> menu(page->GetContextMenu(CPoint(5, 5)));
        std::vector<UINT> ids;
        for (int i = 0; menu && i < ::GetMenuItemCount(menu->GetSubMenu(0)); ++i)
            ids.push_back(::GetMenuItemID(menu->GetSubMenu(0), i));
        return ids;
    };
    EXPECT_EQ(items(), (std::vector<UINT>{ID_PAUSE}));
    Command(ID_PAUSE);
    EXPECT_EQ(items(), (std::vector<UINT>{ID_PLAY}));
    // A frame command: the view does not route it.
    CMainFrame::Get()->SendMessage(WM_COMMAND, ID_VIEW_FULL_SCREEN);
    ASSERT_TRUE(CMainFrame::Get()->IsFullScreen());
    EXPECT_EQ(items(), (std::vector<UINT>{ID_PLAY, 0, ID_VIEW_FULL_SCREEN}));
    CMainFrame::Get()->SendMessage(WM_COMMAND, ID_VIEW_FULL_SCREEN);
    EXPECT_FALSE(CMainFrame::Get()->IsFullScreen());
}

} // namespace
