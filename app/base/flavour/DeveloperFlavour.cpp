#include "BuildFlavour.h"

bool DeveloperOverridesAllowed()
{
    return true;
}
