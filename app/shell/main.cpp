#include <windows.h>

#include "Manager.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    Manager::SetInstance(instance);
    return 1;
}
