// Stands in for a program that Orlivane starts through the shell: writes
// the argument it was given after the output file's path into that file.
#include <windows.h>

#include <cstdlib>
#include <fstream>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (__argc < 3)
        return 1;
    std::ofstream(__argv[1], std::ios::binary) << __argv[2];
    return 0;
}
