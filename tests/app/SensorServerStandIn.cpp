#include <windows.h>

// Stands in for the sensor server process that the program ends by name at
// start and when its modal loop ends; runs until ended from outside.
int wmain()
{
    Sleep(INFINITE);
    return 0;
}
