#include "BuildFlavour.h"

bool DeveloperOverridesAllowed()
{
    return false;
}
