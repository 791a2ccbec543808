// Renaming a file: the names every rename refuses, and the small dialog the
// picture page asks for a new name with.
#pragma once

#include <string>

#include "dialog.h"

// Why newName (a name, not a path) cannot be the new name of the file or
// folder at path, as a message for the user; empty when it can. Refused: an
// empty name, characters Windows forbids, and the name of another file or
// folder beside it (the same name in another case is the file itself).
std::string RefusedName(const std::string& path, const std::string& newName);
// How much of a name being edited is selected at first: the part before the
// extension, as Explorer does; all of a folder's name or one without a dot.
int NameStemLength(const std::string& name, bool folder);

class CRenameDlg : public CDialog {
public:
    // path: the file renamed.
    CRenameDlg(const std::string& path, CWnd* parent);

    std::string m_name;  // edit 1030: the name, on OK an accepted new one

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

private:
    std::string m_path;
};
