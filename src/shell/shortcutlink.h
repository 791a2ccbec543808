// History and Favorites are folders of Windows shortcut files; this is the
// layer that reads and writes one shortcut through the shell's link object.
#pragma once

#include <string>

class CShortcutLink {
public:
    std::string m_linkPath;     // the .lnk file, when read from one
    std::string m_targetPath;   // folder, picture or drive root
    std::string m_description;  // empty in every shortcut Orlivane writes
    bool m_valid = false;       // a target was read, or the file was written

    CShortcutLink() = default;
    explicit CShortcutLink(std::string linkPath) : m_linkPath(std::move(linkPath)) {}

    // Reads the shortcut at the link path without searching for a moved
    // target or showing any dialog; safe on any thread. Returns the valid flag.
    bool ResolveLink();
    // Writes a shortcut at path for the target and description, replacing a
    // file of that name.
    void SaveLink(const std::string& path);
};

// Writes link into folder as name + ".lnk"; with no name, the file is named
// after the target ("Drive X" for a drive root). Failures are silent.
void AddShortcut(const std::string* name, CShortcutLink& link, const std::string& folder);
void AddToHistory(CShortcutLink& link);
void AddToFavorites(CShortcutLink& link);

// The file name AddShortcut gives a shortcut to target when no name is given.
std::string DefaultShortcutName(const std::string& target);
