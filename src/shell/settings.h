// The settings record: every value Orlivane keeps between sessions, stored
// under HKEY_CURRENT_USER\Software\Vemoly, and the folders it keeps its
// History, Favorites and thumbnail cache in.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CSettings {
public:
    int Delay = 2000;         // slideshow delay, milliseconds
    bool Loop = false;        // kept for the registry; nothing depends on it
    bool UserInit = false;    // forced to 1 once loaded
    std::string AppDataFolder;
    std::string HistoryFolder;
    std::string FavoritesFolder;
    std::string CacheFolder;
    int HistoryCount = 10;    // History entries the Home page shows
    int CmdShow = 10;         // SW_ value of the main window at the last close
    int MainWndLeft = 0;      // normal-position rectangle at the last close
    int MainWndTop = 0;
    int MainWndRight = 0;
    int MainWndBottom = 0;
    // How folder pages order their entries (the catalog's SortOrder: name,
    // date taken, date modified, size or type) and which way. Stored in a
    // value of its own once the user chooses, not by Save.
    int SortOrder = 0;
    bool SortDescending = false;
    // The details pane shown beside the pages that have it; stored in a
    // value of its own when the user toggles it, not by Save.
    bool DetailsPane = false;
    // Set by Load: values never read must not overwrite the stored ones.
    bool Loaded = false;

    // Fixes the folder paths, creates the folders (filling a new Favorites
    // folder with the default favorites) and reads the stored values.
    void Load();
    // Writes the nine values; failures are ignored.
    void Save() const;
    // Writes the order chosen; failures are ignored.
    void SaveSortOrder() const;
    // Writes whether the details pane is shown; failures are ignored.
    void SaveDetailsPane() const;
};

// Values under Software\Vemoly. A missing key or value, or one of another
// type or size, reads as the default.
int ReadDword(const char* name, int defaultValue);
LONG WriteDword(const char* name, int value);
std::string ReadString(const char* name, const char* defaultValue);
LONG WriteString(const char* name, const char* text);

// The targets a new Favorites folder starts with: the documents folder, the
// pictures folder and every drive root, in that order.
std::vector<std::string> DefaultFavoriteTargets();
void CreateDefaultFavorites();

// The process-wide settings record.
extern CSettings g_settings;
