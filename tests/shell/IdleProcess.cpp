#include <windows.h>

// Waits until it is ended from outside.
int wmain()
{
    Sleep(INFINITE);
    return 0;
}
