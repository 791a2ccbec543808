#include "shortcuts.h"

#include <gtest/gtest.h>

#include "com_apartment.h"
#include "shell/shortcutlink.h"

std::string WriteShortcut(const std::string& link, const std::string& target)
{
    const ComApartment com;
    CShortcutLink shortcut;
    shortcut.m_targetPath = target;
    shortcut.SaveLink(link);
    EXPECT_TRUE(shortcut.m_valid) << link;
    return link;
}

std::string ShortcutTarget(const std::string& link)
{
    const ComApartment com;
    CShortcutLink read(link);
    return read.ResolveLink() ? read.m_targetPath : "";
}
