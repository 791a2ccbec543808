// The real program in a small address space (the test's registration
// limits it): a cache file that declares a directory of 4 GB must cost
// neither the memory nor the program, and the page still fills in.
#include <gtest/gtest.h>


#include <cstdlib>
#include <string>

#include "app_driver.h"
#include "catalog/thumbnailcache.h"
#include "jpeg_maker.h"
#include "program_data.h"
#include "shell/settings.h"
#include "shortcuts.h"
#include "temp_folder.h"

namespace {

long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (long long)data.nFileSizeHigh << 32 | data.nFileSizeLow;
}

// A cache file as long as its header says, its directory 0xFFFFFF00 bytes
// of nothing: sparse, so it costs no disk.
bool WriteHugeCache(const std::string& path)
{
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const unsigned header[16] = {'Q' | 'V' << 8 | 'L' << 16 | 'M' << 24, 0x01000000, 0xFFFFFF00, 64};
    DWORD written = 0;
    LARGE_INTEGER end;
    end.QuadPart = 64 + 0xFFFFFF00LL + 4096;
    const bool ok = ::WriteFile(file, header, sizeof header, &written, nullptr) && written == sizeof header
                 && ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    ::CloseHandle(file);
    return ok;
}

TEST(LowMemoryGui, AHugeCacheDirectoryIsRefusedAndTheThumbnailsAreMadeAfresh)
{
    if (!TestSetting("ORLIVANE_ADDRESS_LIMIT").empty()) {
        void* probe = std::malloc(0xFFFFFF00);
        std::free(probe);
        ASSERT_EQ(probe, nullptr) << "the address-space limit is not in force";
    }

    // A Favorite whose folder holds one red picture; the Favorites pane's
    // cache file declares the huge directory.
    const std::string favorites = AppDataVemoly() + "\\Favorites";
    g_settings.CacheFolder = AppDataVemoly() + "\\Cache";
    for (const std::string& folder : {AppDataVemoly(), favorites, g_settings.CacheFolder})
        ::CreateDirectoryA(folder.c_str(), nullptr);
    TempFolder album;
    album.WriteFile("red.jpg", MakeJpeg(SolidRecipe(300, 200, 220, 0, 0)));
    const std::string linkPath = WriteShortcut(favorites + "\\Low memory.lnk", album.Path());
    const std::string cache = CacheFileName(favorites);
    ASSERT_TRUE(WriteHugeCache(cache));
    ASSERT_GT(FileSize(cache), 0xFFFFFF00LL);

    AppUnderTest app;
    ASSERT_TRUE(app.Start(WindowsPath(TestSetting("ORLIVANE_EXE"))));
    ASSERT_NE(app.WaitForMainWindow("Home Page - Orlivane"), nullptr)
        << (app.IsRunning() ? "no main window" : "the program ended, exit code " + std::to_string(app.Wait(0)));
    // The worker refuses the file, makes the thumbnails and writes a new one.
    const DWORD start = ::GetTickCount();
    while (FileSize(cache) > 1 << 20 && ::GetTickCount() - start < 20000 && app.IsRunning())
        ::Sleep(100);
    EXPECT_TRUE(app.IsRunning());
    EXPECT_LT(FileSize(cache), 1 << 20) << "the cache was written anew";
    ::Sleep(300);

    // Nothing else in the window is that red in such numbers.
    const Capture shot = CaptureClient(app.MainWindow());
    int red = 0;
    for (DWORD pixel : shot.pixels)
        red += (pixel >> 16 & 0xFF) > 180 && (pixel >> 8 & 0xFF) < 40 && (pixel & 0xFF) < 40;
    EXPECT_GT(red, 3000) << "the Favorite's red thumbnail";
    const std::string artifacts = WindowsPath(TestSetting("ORLIVANE_ARTIFACTS"));
    ::CreateDirectoryA(artifacts.c_str(), nullptr);
    shot.SaveBmp(artifacts + "\\low-memory-home.bmp");
    EXPECT_EQ(app.Close(), 0);

    ::DeleteFileA(linkPath.c_str());
    ::DeleteFileA(cache.c_str());
}

} // namespace
