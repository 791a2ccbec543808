#include "view/vemolydoc.h"

CVemolyDoc::CVemolyDoc()
{
    EnableCompoundFile();
    EnableAutomation();
    AfxOleLockApp();
}

CVemolyDoc::~CVemolyDoc()
{
    AfxOleUnlockApp();
}
