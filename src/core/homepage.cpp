#include "core/homepage.h"

#include "res/resource.h"

std::string CHomePage::GetTitle()
{
    return AfxLoadString(IDS_HOME_PAGE);
}
