#include "app/vemolyapp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int cmdShow)
{
    return AfxWinMain(&theApp, instance, cmdShow);
}
