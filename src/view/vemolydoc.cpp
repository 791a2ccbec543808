#include "view/vemolydoc.h"

#include "view/vemolyview.h"

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

void CVemolyDoc::SetTitle(const std::string& title)
{
    COleDocument::SetTitle(title);
    for (CView* view : GetViews()) {
        if (auto* pageView = dynamic_cast<CVemolyView*>(view))
            pageView->PageChanged();
    }
}
