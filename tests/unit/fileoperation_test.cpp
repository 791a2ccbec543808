// The user's files changed through the system's own file operations, and
// files handed to other programs as the shell hands them.
#include <gtest/gtest.h>

#include "afxpath.h"
#include "com_apartment.h"
#include "plain_clipboard.h"
#include "recycle_bin.h"
#include "shell/filedata.h"
#include "shell/fileoperation.h"
#include "shell/fileverbs.h"
#include "shell_command.h"
#include "temp_folder.h"
#include "window_driving.h"

namespace {

class FileOperationTest : public testing::Test {
protected:
    const OleApartment ole;
    TempFolder temp;
};

TEST_F(FileOperationTest, DeleteRecyclesOrDeletesForGoodAfterTheSystemsConfirmation)
{
    const std::string kept = temp.WriteFile("recycled-" + std::to_string(::GetTickCount()) + ".jpg", "jpeg");
    const std::string gone = temp.WriteFile("deleted-" + std::to_string(::GetTickCount()) + ".jpg", "jpeg");

    EXPECT_EQ(Confirmed([&] { return ShellDelete(nullptr, {kept}, true); }), FileOperationResult::Done);
    EXPECT_FALSE(FileExists(kept));
    EXPECT_TRUE(InRecycleBin(AfxFindFileName(kept.c_str()))) << "recycled, not deleted";

    EXPECT_EQ(Confirmed([&] { return ShellDelete(nullptr, {gone}, false); }), FileOperationResult::Done);
    EXPECT_FALSE(FileExists(gone));
    EXPECT_FALSE(InRecycleBin(AfxFindFileName(gone.c_str())));
}

TEST_F(FileOperationTest, CopiesIntoTheirOwnFolderGetCopyNamesAndMovesAndRenamesLand)
{
    const std::string album = temp.MakeFolder("Trip\\Album");
    const std::string picture = temp.WriteFile("Trip\\beach.jpg", "jpeg");
    const std::string trip = temp / "Trip";

    ASSERT_EQ(ShellCopy(nullptr, {picture, album}, trip), FileOperationResult::Done);
    ASSERT_EQ(ShellCopy(nullptr, {picture}, trip), FileOperationResult::Done);
    EXPECT_TRUE(FileExists(trip + "\\beach - Copy.jpg"));
    EXPECT_TRUE(FileExists(trip + "\\beach - Copy (2).jpg"));
    EXPECT_TRUE(AfxIsDirectory(trip + "\\Album - Copy"));

    ASSERT_EQ(ShellMove(nullptr, {trip + "\\beach - Copy.jpg"}, album), FileOperationResult::Done);
    EXPECT_TRUE(FileExists(album + "\\beach - Copy.jpg"));
    EXPECT_FALSE(FileExists(trip + "\\beach - Copy.jpg"));
    EXPECT_EQ(ShellMove(nullptr, {picture}, trip), FileOperationResult::Done) << "a move onto itself does nothing";
    EXPECT_TRUE(FileExists(picture));

    ASSERT_EQ(ShellRename(nullptr, picture, "sunset.jpg"), FileOperationResult::Done);
    EXPECT_TRUE(FileExists(trip + "\\sunset.jpg"));
    EXPECT_FALSE(FileExists(picture));

    EXPECT_EQ(CheckFileName("a:b.jpg"), "A file name can't contain any of the following characters:\n\\ / : * ? \" < > |");
    EXPECT_NE(CheckFileName("  "), "");
    EXPECT_NE(CheckFileName("con.jpg"), "");
    EXPECT_NE(CheckFileName("x."), "");
    EXPECT_EQ(CheckFileName("Sunset at the beach, 2026.jpg"), "");
}

TEST_F(FileOperationTest, ClipboardFilesComeBackAsOtherProgramsReadThem)
{
    const std::string a = temp.WriteFile("a.jpg", "jpeg");
    const std::string b = temp.WriteFile("Ürün 写真.jpg", "jpeg");

    ASSERT_TRUE(PutFilesOnClipboard({a, b}, true));
    // As a program without OLE reads it: the plain clipboard.
    DWORD preferred = 0;
    EXPECT_EQ(ClipboardFiles(&preferred), (std::vector<std::string>{a, b}));
    EXPECT_EQ(preferred, (DWORD)DROPEFFECT_MOVE);
    EXPECT_TRUE(::IsClipboardFormatAvailable(::RegisterClipboardFormatW(L"Shell IDList Array")));

    ASSERT_TRUE(ClipboardHasFiles());
    preferred = 0;
    EXPECT_EQ(FilesOnClipboard(&preferred), (std::vector<std::string>{a, b}));
    EXPECT_EQ(preferred, (DWORD)DROPEFFECT_MOVE);
    ASSERT_TRUE(PutFilesOnClipboard({a}, false));
    // At exit the files stay for other programs, no longer made on request.
    KeepClipboardFiles();
    CComPtr<IDataObject> left;
    ASSERT_HRESULT_SUCCEEDED(::OleGetClipboard(&left));
    EXPECT_EQ(FilesOf(left.Get(), &preferred), std::vector<std::string>{a});
    EXPECT_EQ(preferred, (DWORD)DROPEFFECT_COPY);
    EXPECT_TRUE(::IsClipboardFormatAvailable(::RegisterClipboardFormatW(L"Shell IDList Array")));
}


// The file's own edit verb, as the shell finds it from the file's class.
TEST_F(FileOperationTest, EditRunsTheEditVerbOfTheFilesClass)
{
    const std::string picture = temp.WriteFile("Paris, 2019.orltest", "jpeg");
    const std::string recorded = temp / "edited.txt";
    ReplacedShellCommand kind(".orltest", "Orlivane.TestPicture");
    ReplacedShellCommand edit("Orlivane.TestPicture\\shell\\edit\\command", RecordingCommand(recorded));
    ASSERT_TRUE(EditFile(nullptr, picture));
    EXPECT_TRUE(Eventually([&] { return FileExists(recorded); }));
    EXPECT_TRUE(Eventually([&] { return ReadWholeFile(recorded) == picture; })) << ReadWholeFile(recorded);
    EXPECT_FALSE(EditFile(nullptr, temp / "gone.orltest"));
}

} // namespace
