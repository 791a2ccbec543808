// The program's dialogs run modally on the test thread while a second thread
// works them through their windows, as a user would: typing, clicking,
// pressing F1 and reading what they show.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "afx.h"
#include "afxhtmlhelp.h"
#include "app/vemolyapp.h"
#include "app_driver.h"
#include "dialog.h"
#include "dialogs/aboutdlg.h"
#include "dialogs/addfavoritedlg.h"
#include "dialogs/newfolderdlg.h"
#include "dialogs/renamedlg.h"
#include "recording_hhctrl.h"
#include "res/resource.h"
#include "shell/fileoperation.h"
#include "shell/settings.h"
#include "shell/version.h"
#include "shortcuts.h"
#include "temp_folder.h"
#include "user_input.h"
#include "window_driving.h"

namespace {

const char kHelpControlKey[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

std::string ModuleFolder()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

// Registers the recording help library for this process's first help request
// (the program keeps the library it found for the rest of the run) and puts
// the prefix's registration back afterwards. Also what start-up would give
// the dialogs: OLE and the help file beside the program.
class DialogEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(AfxOleInit());
        const std::string fake = ModuleFolder() + "\\recording_hhctrl.dll";
        char value[MAX_PATH] = "";
        LONG size = sizeof value;
        if (::RegQueryValueA(HKEY_CLASSES_ROOT, kHelpControlKey, value, &size) == ERROR_SUCCESS)
            m_saved = value;
        if (m_saved.empty() || m_saved.find("recording_hhctrl") != std::string::npos) {
            // Left over from a run that did not finish: the system's own.
            char system[MAX_PATH] = "";
            ::GetSystemDirectoryA(system, MAX_PATH);
            m_saved = std::string(system) + "\\hhctrl.ocx";
        }
        ASSERT_EQ(::RegSetValueA(HKEY_CLASSES_ROOT, kHelpControlKey, REG_SZ, fake.c_str(),
                                 (DWORD)fake.size()),
                  ERROR_SUCCESS);
        theApp.m_pszHelpFilePath = ModuleFolder() + "\\Orlivane.chm";
    }
    void TearDown() override
    {
        ::RegSetValueA(HKEY_CLASSES_ROOT, kHelpControlKey, REG_SZ, m_saved.c_str(), (DWORD)m_saved.size());
        AfxOleTerm();
    }

private:
    std::string m_saved;
};

testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new DialogEnvironment);

// ---------------------------------------------------------------- driving windows from the second thread

HWND Item(HWND dialog, int id)
{
    return ::GetDlgItem(dialog, id);
}

void SetText(HWND dialog, int id, const std::string& text)
{
    ::SendMessageA(Item(dialog, id), WM_SETTEXT, 0, (LPARAM)text.c_str());
}

// Posted, so that a message box the click opens does not hold up this thread.
void Click(HWND dialog, int id)
{
    ::PostMessageA(Item(dialog, id), BM_CLICK, 0, 0);
}

// ---------------------------------------------------------------- tree items as the user sees them

struct TreeNode {
    std::string text;
    bool expanded = false;
    std::vector<TreeNode> children;
};

std::string ItemText(HWND tree, HTREEITEM item)
{
    char text[MAX_PATH] = "";
    TVITEMA tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = MAX_PATH;
    ::SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv);
    return text;
}

std::vector<TreeNode> ReadTree(HWND tree, HTREEITEM first)
{
    std::vector<TreeNode> nodes;
    for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item)) {
        TreeNode node;
        node.text = ItemText(tree, item);
        node.expanded = (TreeView_GetItemState(tree, item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
        node.children = ReadTree(tree, TreeView_GetChild(tree, item));
        nodes.push_back(std::move(node));
    }
    return nodes;
}

// "Favorites(Beach.lnk is not shown)": every folder's name, its children in
// brackets, a "-" after a folder shown collapsed.
std::string Describe(const std::vector<TreeNode>& nodes)
{
    std::string text;
    for (const TreeNode& node : nodes) {
        if (!text.empty())
            text += " ";
        text += node.text + (node.expanded ? "" : "-");
        if (!node.children.empty())
            text += "(" + Describe(node.children) + ")";
    }
    return text;
}

std::string SelectedText(HWND tree)
{
    HTREEITEM selected = TreeView_GetSelection(tree);
    return selected ? ItemText(tree, selected) : "(none)";
}

HTREEITEM FindItem(HWND tree, HTREEITEM first, const std::string& text)
{
    for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item)) {
        if (ItemText(tree, item) == text)
            return item;
        if (HTREEITEM inner = FindItem(tree, TreeView_GetChild(tree, item), text))
            return inner;
    }
    return nullptr;
}

// Every visible item, in the order the tree shows them.
int VisibleCount(HWND tree)
{
    int count = 0;
    for (HTREEITEM item = TreeView_GetRoot(tree); item; item = TreeView_GetNextVisible(tree, item))
        ++count;
    return count;
}

// The Favorites folder of a test, with the application-data folder above it.
class FavoritesTest : public testing::Test {
protected:
    FavoritesTest()
    {
        m_savedAppData = g_settings.AppDataFolder;
        m_savedFavorites = g_settings.FavoritesFolder;
        g_settings.AppDataFolder = temp.MakeFolder("Vemoly");
        g_settings.FavoritesFolder = temp.MakeFolder("Vemoly\\Favorites");
    }
    ~FavoritesTest() override
    {
        g_settings.AppDataFolder = m_savedAppData;
        g_settings.FavoritesFolder = m_savedFavorites;
    }

    std::string Favorites(const std::string& relative) const
    {
        return g_settings.FavoritesFolder + "\\" + relative;
    }

    TempFolder temp;

private:
    std::string m_savedAppData;
    std::string m_savedFavorites;
};

// ---------------------------------------------------------------- data exchange and validation

// The Preferences template with a count exchanged as the Preferences dialog does.
class CCountDialog : public CHelpDialog {
public:
    int m_count = 10;
    CCountDialog() : CHelpDialog(IDD_PREFERENCES, nullptr) {}

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Text(pDX, IDC_HISTORY_COUNT, m_count);
        DDV_MinMaxInt(pDX, m_count, 1, 100);
    }
};

TEST(DataExchange, AnIntegerIsLoadedThenRefusedWithTheFrameworksMessagesUntilItFits)
{
    CCountDialog dialog;
    std::string loaded;
    std::vector<DWORD> helpIds;
    std::vector<std::string> said;
    bool stayedOpenAndFocused = true;
    const INT_PTR result = RunModal([&] { return dialog.DoModal(); }, [&](DWORD ui) {
        HWND dlg = WaitForShown(ui, "#32770", "Preferences");
        ASSERT_TRUE(dlg);
        HWND edit = Item(dlg, IDC_HISTORY_COUNT);
        loaded = Text(edit);
        for (int id : {IDC_HISTORY_COUNT, IDC_CLEAR_CACHE, IDOK})
            helpIds.push_back(::GetWindowContextHelpId(Item(dlg, id)));
        for (const char* typed : {"abc", "0", "101", ""}) {
            SetText(dlg, IDC_HISTORY_COUNT, typed);
            Click(dlg, IDOK);
            said.push_back(AnswerMessageBox(ui));
            // The refusal focuses the edit once its message box has gone.
            const bool focused = Eventually([&] { return FocusOf(ui) == edit; }, 3000);
            DWORD start = 0, end = 0;
            ::SendMessageA(edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
            stayedOpenAndFocused = stayedOpenAndFocused && focused && ::IsWindowVisible(dlg)
                                && start == 0 && end == ::strlen(typed);
        }
        SetText(dlg, IDC_HISTORY_COUNT, " 50 ");
        Click(dlg, IDOK);
        Eventually([&] { return !::IsWindow(dlg); });
    });

    EXPECT_EQ(loaded, "10");
    EXPECT_EQ(helpIds, (std::vector<DWORD>{0x809903F8, 0x809903F7, 0}));
    EXPECT_EQ(said, (std::vector<std::string>{"Please enter an integer.",
                                              "Please enter an integer between 1 and 100.",
                                              "Please enter an integer between 1 and 100.",
                                              "Please enter an integer."}));
    EXPECT_TRUE(stayedOpenAndFocused) << "a refused value keeps the dialog with its text selected";
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_count, 50);
}

TEST(DataExchange, AFilledInFormatStaysAsItIs)
{
    // The About box formats its version text again on OK.
    EXPECT_EQ(AfxFormatOneString("Version 1.00", "again"), "Version 1.00");
    EXPECT_EQ(AfxFormatOneString("100%% under\n%s:", "Favorites\\Trips"), "100% under\nFavorites\\Trips:");
}

// ---------------------------------------------------------------- New Folder

TEST(NewFolderDialog, ShowsTheLocationAndKeepsTheNameToAHundredCharacters)
{
    CNewFolderDlg dialog;
    dialog.m_location = "Favorites\\Trips";
    std::string accepted;
    for (int i = 0; i < 60; ++i)
        accepted += "é";
    accepted += std::string(40, 'c');
    std::string caption;
    int typedLength = 0;
    std::string refused;
    bool stayedOpen = false;
    const INT_PTR result = RunModal([&] { return dialog.DoModal(); }, [&](DWORD ui) {
        HWND dlg = WaitForShown(ui, "#32770", "New Folder");
        ASSERT_TRUE(dlg);
        caption = Text(Item(dlg, IDC_NEW_FOLDER_CAPTION));
        HWND edit = Item(dlg, IDC_NAME);
        for (int i = 0; i < 101; ++i)
            ::PostMessageA(edit, WM_CHAR, 'a', 0);
        Eventually([&] { return ::GetWindowTextLengthA(edit) >= 100; });
        ::SendMessageA(edit, WM_NULL, 0, 0);  // after the last posted character
        typedLength = ::GetWindowTextLengthA(edit);

        // Text set by a program is not limited; OK refuses it.
        SetText(dlg, IDC_NAME, std::string(101, 'b'));
        Click(dlg, IDOK);
        refused = AnswerMessageBox(ui);
        stayedOpen = Eventually([&] { return FocusOf(ui) == edit; }, 3000) && ::IsWindowVisible(dlg);
        // The limit counts characters as the edit control does, not UTF-8 bytes.
        SetText(dlg, IDC_NAME, accepted);
        Click(dlg, IDOK);
        Eventually([&] { return !::IsWindow(dlg); });
    });

    EXPECT_EQ(caption, "The following folder will be created under\nFavorites\\Trips:");
    EXPECT_EQ(typedLength, 100) << "a 101st character cannot be typed";
    EXPECT_EQ(refused, "Please enter no more than 100 characters.");
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_name, accepted);
}

// ---------------------------------------------------------------- Rename

TEST(RenameDialog, SelectsTheNameUpToItsExtensionAndRefusesForbiddenTakenAndEmptyNames)
{
    TempFolder temp;
    CRenameDlg dialog(temp.WriteFile("a.jpg", "a"), nullptr);
    temp.WriteFile("b.jpg", "b");
    DWORD start = 1, end = 0;
    std::vector<std::string> said;
    bool stayedOpen = true;
    const INT_PTR result = RunModal([&] { return dialog.DoModal(); }, [&](DWORD ui) {
        HWND dlg = WaitForShown(ui, "#32770", "Rename");
        ASSERT_TRUE(dlg);
        HWND edit = Item(dlg, IDC_RENAME_NAME);
        ::SendMessageA(edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
        for (const char* typed : {"a?.jpg", "B.JPG", ""}) {
            SetText(dlg, IDC_RENAME_NAME, typed);
            Click(dlg, IDOK);
            said.push_back(AnswerMessageBox(ui));
            stayedOpen = stayedOpen && Eventually([&] { return FocusOf(ui) == edit; }, 3000) && Text(edit) == typed;
        }
        SetText(dlg, IDC_RENAME_NAME, "A.jpg");  // the file itself, in another case
        Click(dlg, IDOK);
        Eventually([&] { return !::IsWindow(dlg); });
    });

    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 1u);
    EXPECT_EQ(said, (std::vector<std::string>{CheckFileName("a?.jpg"),
        "There is already a file named \"B.JPG\" in this folder. Type another name.", CheckFileName("")}));
    EXPECT_TRUE(stayedOpen) << "a refused name keeps the dialog and its text";
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_name, "A.jpg");
}

// ---------------------------------------------------------------- Add Favorite

TEST_F(FavoritesTest, AddFavoriteWritesShortcutsAndRemembersTheFolderWhileItExists)
{
    const std::string picture = temp.WriteFile("Album\\IMG_0042.jpg", "jpeg");
    temp.MakeFolder("Vemoly\\Favorites\\Trips\\Paris");
    temp.MakeFolder("Vemoly\\Favorites\\Beaches");
    const std::string oldBeach = WriteShortcut(Favorites("Trips\\Beach.lnk"), temp.Path());  // a file: not in the tree
    const CFolderEntry page(picture, nullptr, nullptr);

    // First use in this run: the tree opens on Favorites; OK into Trips.
    std::string firstName, firstTree, firstSelected;
    int visible = 0;
    {
        CAddFavoriteDlg dialog(page, nullptr);
        const INT_PTR result = RunModal([&] { return dialog.DoModal(); }, [&](DWORD ui) {
            HWND dlg = WaitForShown(ui, "#32770", "Add Favorite");
            ASSERT_TRUE(dlg);
            HWND tree = Item(dlg, IDC_FOLDER_TREE);
            firstName = Text(Item(dlg, IDC_NAME));
            firstTree = Describe(ReadTree(tree, TreeView_GetRoot(tree)));
            firstSelected = SelectedText(tree);
            visible = VisibleCount(tree);
            ::SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)FindItem(tree, TreeView_GetRoot(tree), "Trips"));
            Click(dlg, IDOK);
            Eventually([&] { return !::IsWindow(dlg); });
        });
        EXPECT_EQ(result, IDOK);
    }
    EXPECT_EQ(firstName, "IMG_0042.jpg") << "the last part of the path, extension included";
    // Enumeration order is the file system's: either order of the two folders.
    EXPECT_TRUE(firstTree == "Favorites(Trips(Paris) Beaches)" || firstTree == "Favorites(Beaches Trips(Paris))")
        << firstTree;
    EXPECT_EQ(visible, 4) << "every folder is shown expanded";
    EXPECT_EQ(firstSelected, "Favorites");
    EXPECT_EQ(ShortcutTarget(Favorites("Trips\\IMG_0042.jpg.lnk")), picture);

    // The next dialog opens on Trips; a new folder Rome inside it; then Beach into Trips.
    std::string secondSelected, newFolderCaption, afterNewFolder, treeAfterNewFolder;
    {
        CAddFavoriteDlg dialog(page, nullptr);
        const INT_PTR result = RunModal([&] { return dialog.DoModal(); }, [&](DWORD ui) {
            HWND dlg = WaitForShown(ui, "#32770", "Add Favorite");
            ASSERT_TRUE(dlg);
            HWND tree = Item(dlg, IDC_FOLDER_TREE);
            secondSelected = SelectedText(tree);
            Click(dlg, IDC_NEW_FOLDER);
            HWND newFolder = WaitForShown(ui, "#32770", "New Folder");
            ASSERT_TRUE(newFolder);
            EXPECT_EQ(::GetWindow(newFolder, GW_OWNER), dlg) << "it stays above Add Favorite";
            newFolderCaption = Text(Item(newFolder, IDC_NEW_FOLDER_CAPTION));
            SetText(newFolder, IDC_NAME, "Rome");
            Click(newFolder, IDOK);
            Eventually([&] { return !::IsWindow(newFolder); });
            ::SendMessageA(dlg, WM_NULL, 0, 0);  // the tree is rebuilt by now
            afterNewFolder = SelectedText(tree);
            treeAfterNewFolder = Describe(ReadTree(tree, TreeView_GetRoot(tree)));

            SetText(dlg, IDC_NAME, "Beach");
            ::SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)FindItem(tree, TreeView_GetRoot(tree), "Trips"));
            Click(dlg, IDOK);
            Eventually([&] { return !::IsWindow(dlg); });
        });
        EXPECT_EQ(result, IDOK);
    }
    EXPECT_EQ(secondSelected, "Trips");
    EXPECT_EQ(newFolderCaption, "The following folder will be created under\nFavorites\\Trips:");
    EXPECT_TRUE(FolderExists(Favorites("Trips\\Rome")));
    EXPECT_EQ(afterNewFolder, "Rome");
    EXPECT_TRUE(treeAfterNewFolder.find("Trips(Paris Rome)") != std::string::npos
                || treeAfterNewFolder.find("Trips(Rome Paris)") != std::string::npos)
        << treeAfterNewFolder;
    EXPECT_EQ(ShortcutTarget(oldBeach), picture) << "Beach.lnk is replaced";

    // Trips goes: the next dialog opens on Favorites; Cancel writes nothing.
    ASSERT_TRUE(RemoveTree(Favorites("Trips")));
    std::string thirdSelected;
    {
        CAddFavoriteDlg dialog(page, nullptr);
        const INT_PTR result = RunModal([&] { return dialog.DoModal(); }, [&](DWORD ui) {
            HWND dlg = WaitForShown(ui, "#32770", "Add Favorite");
            ASSERT_TRUE(dlg);
            thirdSelected = SelectedText(Item(dlg, IDC_FOLDER_TREE));
            Click(dlg, IDCANCEL);
            Eventually([&] { return !::IsWindow(dlg); });
        });
        EXPECT_EQ(result, IDCANCEL);
    }
    EXPECT_EQ(thirdSelected, "Favorites");
    EXPECT_FALSE(FileExists(Favorites("IMG_0042.jpg.lnk")));
}

// ---------------------------------------------------------------- context help

const RecordedHelpCall* LastHelpCall()
{
    HMODULE fake = ::GetModuleHandleA("recording_hhctrl.dll");
    auto proc = fake ? reinterpret_cast<RecordedHelpProc>(
                           reinterpret_cast<void*>(::GetProcAddress(fake, "RecordedHelp")))
                     : nullptr;
    static const RecordedHelpCall none;
    return proc ? proc() : &none;
}

void SetHelpResult(HWND result)
{
    HMODULE fake = ::GetModuleHandleA("recording_hhctrl.dll");
    if (auto proc = fake ? reinterpret_cast<SetHelpResultProc>(
                               reinterpret_cast<void*>(::GetProcAddress(fake, "SetHelpResult")))
                         : nullptr)
        proc(result);
}

// What pressing F1 on a control brings up, with the pointer at point.
struct HelpShown {
    int calls = 0;          // requests that reached the help library
    std::string popupText;  // the program's own popup, empty when none showed
    RECT popupRect{};
};

HelpShown PressF1On(DWORD ui, HWND control, POINT point)
{
    const int before = LastHelpCall()->count;
    ::SetCursorPos(point.x, point.y);
    ::SendMessageA(::GetParent(control), WM_NEXTDLGCTL, (WPARAM)control, TRUE);
    PressKeys({VK_F1});
    HelpShown shown;
    HWND popup = nullptr;
    Eventually([&] { return (popup = FindShown(ui, kTextPopupClass, "")) != nullptr; }, 1500);
    shown.calls = LastHelpCall()->count - before;
    if (popup) {
        shown.popupText = Text(popup);
        ::GetWindowRect(popup, &shown.popupRect);
        RECT r = shown.popupRect;
        ClickAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
        Eventually([&] { return !::IsWindow(popup); });
    }
    return shown;
}

TEST_F(FavoritesTest, ControlsCarryHelpNumbersAndF1ShowsTheirPopupText)
{
    if (!FileExists(theApp.m_pszHelpFilePath))
        GTEST_SKIP() << "no help file was built";
    const std::string topic = theApp.m_pszHelpFilePath + "::/popups.txt";
    const CFolderEntry page(temp.MakeFolder("Album"), nullptr, nullptr);
    const POINT pointer{400, 300};

    std::vector<DWORD> addFavoriteIds, newFolderIds;
    HelpShown onCancel, onName, onNewFolderName;
    RecordedHelpCall nameCall;
    LRESULT noNumber = FALSE, libraryShowedIt = FALSE;
    int noNumberCalls = -1;
    bool ownPopupWhenLibraryShowed = true;
    CAddFavoriteDlg dialog(page, nullptr);
    RunModal([&] { return dialog.DoModal(); }, [&](DWORD ui) {
        HWND dlg = WaitForShown(ui, "#32770", "Add Favorite");
        ASSERT_TRUE(dlg);
        for (int id : {IDC_NAME, IDC_FOLDER_TREE, IDC_NEW_FOLDER, IDOK, IDCANCEL})
            addFavoriteIds.push_back(::GetWindowContextHelpId(Item(dlg, id)));

        onCancel = PressF1On(ui, Item(dlg, IDCANCEL), pointer);
        onName = PressF1On(ui, Item(dlg, IDC_NAME), pointer);
        nameCall = *LastHelpCall();

        HELPINFO info{};
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_WINDOW;
        info.MousePos = pointer;
        const int before = LastHelpCall()->count;
        noNumber = ::SendMessageA(dlg, WM_HELP, 0, (LPARAM)&info);
        noNumberCalls = LastHelpCall()->count - before;
        SetHelpResult(dlg);  // as if the library had shown a popup
        info.dwContextId = 0x809703F5;
        libraryShowedIt = ::SendMessageA(dlg, WM_HELP, 0, (LPARAM)&info);
        ownPopupWhenLibraryShowed = FindShown(ui, kTextPopupClass, "") != nullptr;
        SetHelpResult(nullptr);

        Click(dlg, IDC_NEW_FOLDER);
        HWND newFolder = WaitForShown(ui, "#32770", "New Folder");
        ASSERT_TRUE(newFolder);
        for (int id : {IDC_NAME, IDC_NEW_FOLDER_CAPTION, IDOK})
            newFolderIds.push_back(::GetWindowContextHelpId(Item(newFolder, id)));
        onNewFolderName = PressF1On(ui, Item(newFolder, IDC_NAME), pointer);
    });

    EXPECT_EQ(addFavoriteIds, (std::vector<DWORD>{0x809703F4, 0x809703F5, 0x809703F6, 0, 0}));
    EXPECT_EQ(newFolderIds, (std::vector<DWORD>{0x809703F4, 0, 0}))
        << "the New Folder name edit shares the Add Favorite number";

    EXPECT_EQ(onCancel.calls, 0) << "a control without a number shows nothing";
    EXPECT_EQ(onCancel.popupText, "");

    ASSERT_EQ(onName.calls, 1);
    EXPECT_EQ(nameCall.command, (UINT)HH_DISPLAY_TEXT_POPUP);
    EXPECT_EQ(nameCall.file, topic);
    EXPECT_EQ(nameCall.popup.cbStruct, (int)sizeof(HH_POPUP));
    EXPECT_EQ(nameCall.popup.hinst, nullptr);
    EXPECT_EQ(nameCall.popup.idString, 0x809703F4u);
    EXPECT_TRUE(nameCall.textGiven) << "an empty text, not none";
    EXPECT_STREQ(nameCall.text, "");
    EXPECT_EQ(nameCall.popup.pt.x, pointer.x);
    EXPECT_EQ(nameCall.popup.pt.y, pointer.y);
    EXPECT_EQ(nameCall.popup.clrForeground, (COLORREF)-1);
    EXPECT_EQ(nameCall.popup.clrBackground, (COLORREF)-1);
    EXPECT_TRUE(nameCall.popup.rcMargins.left == -1 && nameCall.popup.rcMargins.top == -1
                && nameCall.popup.rcMargins.right == -1 && nameCall.popup.rcMargins.bottom == -1);
    EXPECT_FALSE(nameCall.fontGiven);

    // The library answered with no window: the program's own popup shows the text at the pointer.
    EXPECT_EQ(onName.popupText, AfxLoadTextPopup(topic, 0x809703F4));
    EXPECT_NE(onName.popupText.find("name"), std::string::npos) << onName.popupText;
    EXPECT_EQ(onName.popupRect.top, pointer.y);
    EXPECT_NEAR((onName.popupRect.left + onName.popupRect.right) / 2, pointer.x, 1);
    EXPECT_EQ(onNewFolderName.popupText, onName.popupText);

    EXPECT_EQ(noNumber, TRUE);
    EXPECT_EQ(noNumberCalls, 0);
    EXPECT_EQ(libraryShowedIt, TRUE);
    EXPECT_FALSE(ownPopupWhenLibraryShowed);
}

TEST(HelpFile, HoldsATextForEveryHelpNumber)
{
    if (!FileExists(theApp.m_pszHelpFilePath))
        GTEST_SKIP() << "no help file was built";
    const std::string topic = theApp.m_pszHelpFilePath + "::/popups.txt";
    for (UINT id : {0x809703F4u, 0x809703F5u, 0x809703F6u, 0x809903F7u, 0x809903F8u}) {
        const std::string text = AfxLoadTextPopup(topic, id);
        EXPECT_GT(text.size(), 20u) << std::hex << id;
        EXPECT_EQ(text.find(".topic"), std::string::npos) << "one topic's text only";
    }
    EXPECT_EQ(AfxLoadTextPopup(topic, 0x80970001), "");
    EXPECT_EQ(AfxLoadTextPopup(ModuleFolder() + "\\missing.chm::/popups.txt", 0x809703F4), "");
}

// ---------------------------------------------------------------- About box and version

TEST(Version, FixedFileVersionsReadAsMajorTwoDigitMinorAndBuild)
{
    VS_FIXEDFILEINFO info{};
    info.dwFileVersionMS = MAKELONG(2, 1);
    info.dwFileVersionLS = MAKELONG(4, 3);
    EXPECT_EQ(FormatVersion(info), "1.02 build 3");
    info.dwFileVersionMS = MAKELONG(5, 1);
    EXPECT_EQ(FormatVersion(info), "1.05 build 3");
    info.dwFileVersionMS = MAKELONG(123, 1);
    EXPECT_EQ(FormatVersion(info), "1.123 build 3");
    EXPECT_EQ(GetVersionString(), "1.00 build 1") << "the program's own version resource";
}

TEST(AboutBox, ShowsTheVersionAndTheMakersNoticeOnWhite)
{
    CAboutDlg dialog;
    std::string version, notice, libraries;
    RECT noticeRect{}, okRect{};
    bool okFocused = false;
    HBRUSH staticBrush = nullptr, buttonBrush = nullptr;
    Capture pixels;
    RECT versionRect{};
    RunModal([&] { return dialog.DoModal(); }, [&](DWORD ui) {
        HWND dlg = WaitForShown(ui, "#32770", "About Orlivane");
        ASSERT_TRUE(dlg);
        HWND text = Item(dlg, IDC_VERSION);
        version = Text(text);
        notice = Text(Item(dlg, IDC_COPYRIGHT));
        libraries = Text(Item(dlg, IDC_ABOUT_LIBRARIES));
        okFocused = FocusOf(ui) == Item(dlg, IDOK);
        ::GetWindowRect(Item(dlg, IDC_COPYRIGHT), &noticeRect);
        ::GetWindowRect(Item(dlg, IDOK), &okRect);
        HDC dc = ::GetDC(dlg);
        staticBrush = (HBRUSH)::SendMessageA(dlg, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)text);
        buttonBrush = (HBRUSH)::SendMessageA(dlg, WM_CTLCOLORBTN, (WPARAM)dc, (LPARAM)Item(dlg, IDOK));
        ::ReleaseDC(dlg, dc);
        ::RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        ::GetWindowRect(text, &versionRect);
        ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&versionRect), 2);
        pixels = CaptureClient(dlg);
        Click(dlg, IDOK);
        Eventually([&] { return !::IsWindow(dlg); });
    });

    EXPECT_EQ(version, "Orlivane Version 1.00 build 1");
    EXPECT_EQ(notice, "Copyright (C) 2026 Vemoly");
    RECT overlap{};
    EXPECT_FALSE(::IntersectRect(&overlap, &noticeRect, &okRect)) << "the notice clears the OK button";
    EXPECT_TRUE(okFocused) << "not the libraries' text, all of it selected";
    // Each library with its licence on a line of its own; the LGPL ones as DLLs a user may replace.
    for (const auto& [library, licence] : std::vector<std::pair<std::string, std::string>>{
             {"libjpeg-turbo", "IJG"}, {"libjpeg-turbo", "zlib"}, {"Little CMS", "MIT"}, {"libheif", "LGPL-3.0"},
             {"libheif", "libheif.dll"}, {"libde265", "LGPL-3.0"}, {"libde265", "libde265.dll"},
             {"dav1d", "BSD-2-Clause"}, {"libwebp", "BSD-3-Clause"}}) {
        const size_t at = std::min(libraries.find("\r\n" + library), libraries.size());
        EXPECT_NE(libraries.substr(at, libraries.find('\r', at + 2) - at).find(licence), std::string::npos) << library;
    }
    EXPECT_NE(libraries.find("replace"), std::string::npos) << libraries;
    EXPECT_EQ(staticBrush, (HBRUSH)::GetStockObject(WHITE_BRUSH));
    EXPECT_NE(buttonBrush, (HBRUSH)::GetStockObject(WHITE_BRUSH)) << "other controls keep the dialog's colours";
    ASSERT_GT(pixels.width, versionRect.right);
    // The end of the version text's field, past the text itself, is white.
    EXPECT_EQ(pixels.At(versionRect.right - 2, (versionRect.top + versionRect.bottom) / 2), 0xFFFFFFu);
}

} // namespace
