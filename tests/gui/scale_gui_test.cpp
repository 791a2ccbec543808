// The real program on a display of 100%, 150% and 200%: every label of the
// dialogs, the slideshow bar and the details pane shows whole in the dialog
// font at that scale, and their pictures are drawn at it. Wine reads the scale from the
// registry when a process starts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "afxbase.h"
#include "afxhtmlhelp.h"
#include "app_driver.h"
#include "display_scale.h"
#include "jpeg_maker.h"
#include "program_data.h"
#include "res/resource.h"
#include "temp_folder.h"
#include "user_input.h"
#include "window_driving.h"

namespace {

BOOL CALLBACK AddChild(HWND child, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

// Each static, button, check box and group box label of window, measured in
// the dialog font ("MS Shell Dlg 2", 8 points at dpi), must fit its control.
void ExpectLabelsFit(HWND window, int dpi, const std::string& name)
{
    SCOPED_TRACE(name);
    HFONT font = ::CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                               L"MS Shell Dlg 2");
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font);
    const auto scaled = [dpi](int px) { return MulDiv(px, dpi, 96); };
    std::vector<HWND> children;
    ::EnumChildWindows(window, &AddChild, (LPARAM)&children);
    int measured = 0;
    for (HWND child : children) {
        const std::string kind = ClassOf(child);
        const std::wstring text = AfxWide(Text(child));
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        if (text.empty() || (kind != "Static" && kind != "Button") || !(style & WS_VISIBLE))
            continue;
        RECT client;
        ::GetClientRect(child, &client);
        RECT need{0, 0, client.right, 0};
        UINT format = DT_CALCRECT | ((style & SS_NOPREFIX) && kind == "Static" ? DT_NOPREFIX : 0);
        int room = client.right;
        if (kind == "Static") {
            const LONG type = style & SS_TYPEMASK;
            if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT)
                continue;
            format |= DT_WORDBREAK;
        } else {
            format |= DT_SINGLELINE;
            switch (style & BS_TYPEMASK) {
            case BS_GROUPBOX: room -= scaled(14); break;
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX: room -= scaled(13) + scaled(4); break;
            default: room -= 2 * scaled(3); break;
            }
        }
        ::DrawTextW(dc, text.c_str(), (int)text.size(), &need, format);
        ++measured;
        EXPECT_LE(need.right, room) << AfxUtf8(text) << " is cut at the right";
        EXPECT_LE(need.bottom, client.bottom) << AfxUtf8(text) << " is cut at the bottom";
    }
    EXPECT_GT(measured, 0) << "labels found";
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(font);
}

class ScaleGui : public testing::TestWithParam<int> {
protected:
    // Opens a dialog with a command to window, checks it, saves its picture.
    HWND OpenDialog(HWND window, UINT command, const std::string& name, HWND except = nullptr)
    {
        ::PostMessageA(window, WM_COMMAND, command, 0);
        HWND dialog = WaitForProcessWindow(app.ProcessId(), "#32770", except);
        if (!dialog)
            return nullptr;
        ::Sleep(300);  // painted
        ExpectLabelsFit(dialog, GetParam(), name);
        CaptureWindow(dialog).SaveBmp(artifacts + "\\" + name + "-" + std::to_string(GetParam()) + ".bmp");
        return dialog;
    }
    static void Close(HWND dialog)
    {
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_TRUE(Eventually([&] { return !::IsWindow(dialog); }));
    }

    AppUnderTest app;
    std::string artifacts = WindowsPath(TestSetting("ORLIVANE_ARTIFACTS"));
};

TEST_P(ScaleGui, EveryLabelShowsWhole)
{
    const int dpi = GetParam();
    TempFolder temp;
    const std::string folder = temp.MakeFolder("Scaled");
    temp.WriteFile("Scaled\\photo.jpg", MakeJpeg(PhotoRecipe(320, 240)));
    ::CreateDirectoryA(artifacts.c_str(), nullptr);
    // Wide enough for the pane's whole width beside the page at 200%.
    const ScopedDword pane("DetailsPane", 1);
    SetDword("CmdShow", SW_SHOWNORMAL);
    SetDword("MainWndLeft", 0);
    SetDword("MainWndTop", 0);
    SetDword("MainWndRight", 1200);
    SetDword("MainWndBottom", 900);
    {
        DisplayScale scale((DWORD)dpi);
        ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE")), "\"" + folder + "\""));
        ASSERT_NE(app.WaitForMainWindow("Scaled - Orlivane"), nullptr);
    }
    HWND main = app.MainWindow();
    ::Sleep(300);
    CaptureWindow(main).SaveBmp(artifacts + "\\main-frame-" + std::to_string(dpi) + ".bmp");
    HWND rebar = ::GetDlgItem(main, 0xE804);
    ExpectLabelsFit(::GetDlgItem(rebar, 0xE805), dpi, "slideshow bar");
    HWND details = ::GetDlgItem(main, IDC_DETAILS_PANE);
    // The photo's facts, laid out.
    ASSERT_TRUE(Eventually([&] {
        std::vector<HWND> children;
        ::EnumChildWindows(details, &AddChild, (LPARAM)&children);
        for (HWND child : children) {
            RECT box{};
            ::GetClientRect(child, &box);
            if (::IsWindowVisible(child) && box.bottom == 0)
                return false;
        }
        return Text(::GetDlgItem(details, IDC_DETAILS_VALUE)) == "photo.jpg";
    }));
    RECT side{};
    ::GetWindowRect(details, &side);
    EXPECT_EQ(side.right - side.left, MulDiv(260, dpi, 96));
    ExpectLabelsFit(details, dpi, "details pane");

    if (HWND about = OpenDialog(main, ID_APP_ABOUT, "about")) {
        // The banner is drawn at the scale (a bitmap static takes its bitmap's size).
        RECT banner{};
        ::GetWindowRect(::GetDlgItem(about, IDC_BANNER), &banner);
        EXPECT_EQ(banner.right - banner.left, MulDiv(456, dpi, 96));
        EXPECT_EQ(banner.bottom - banner.top, MulDiv(128, dpi, 96));
        ::PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(Eventually([&] { return !::IsWindow(about); }));
    }
    if (HWND preferences = OpenDialog(main, ID_PREFERENCES, "preferences")) {
        // F1's help text wraps at its designed width, scaled.
        ::SetForegroundWindow(preferences);
        ::SendMessageA(preferences, WM_NEXTDLGCTL, (WPARAM)::GetDlgItem(preferences, IDC_HISTORY_COUNT), TRUE);
        PressKeys({VK_F1});
        HWND popup = WaitForProcessWindow(app.ProcessId(), kTextPopupClass, nullptr, 3000);
        ASSERT_NE(popup, nullptr);
        RECT box;
        ::GetWindowRect(popup, &box);
        EXPECT_GT(box.right - box.left, MulDiv(250, dpi, 96));
        EXPECT_LE(box.right - box.left, MulDiv(300 + 2 * 8, dpi, 96) + 2 * MulDiv(1, dpi, 96));
        CaptureWindow(popup).SaveBmp(artifacts + "\\help-popup-" + std::to_string(dpi) + ".bmp");
        ::PostMessageA(popup, WM_CLOSE, 0, 0);
        Close(preferences);
    }
    if (HWND favorite = OpenDialog(main, ID_ADD_FAVORITE, "add-favorite")) {
        // The tree's rows are as high as its folder images at the scale.
        EXPECT_GE(::SendMessageW(::GetDlgItem(favorite, IDC_FOLDER_TREE), TVM_GETITEMHEIGHT, 0, 0),
                  MulDiv(16, dpi, 96));
        if (HWND newFolder = OpenDialog(favorite, MAKEWPARAM(IDC_NEW_FOLDER, BN_CLICKED), "new-folder", favorite))
            Close(newFolder);
        Close(favorite);
    }
    EXPECT_EQ(app.Close(), 0);
}

INSTANTIATE_TEST_SUITE_P(Dpi, ScaleGui, testing::Values(96, 144, 192));

} // namespace
