#include "Manager.h"

HINSTANCE Manager::m_instance = nullptr;

void Manager::SetInstance(HINSTANCE instance)
{
    m_instance = instance;
}

HINSTANCE Manager::GetInstance()
{
    return m_instance;
}
