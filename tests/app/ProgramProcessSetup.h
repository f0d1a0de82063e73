#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>

#include "ApartmentScope.h"
#include "GdiplusScope.h"
#include "Manager.h"

// GDI+, the library's module handle, COM and OLE for a test process that hosts
// the program's dialogs, as the program's entry point sets them up.
class ProgramProcessSetup : public ::testing::Environment {
public:
    void SetUp() override
    {
        gdiplus_.emplace();
        Manager::SetInstance(GetModuleHandleW(nullptr));
        com_.emplace();
        ole_.emplace();
    }
    void TearDown() override
    {
        ole_.reset();
        com_.reset();
        gdiplus_.reset();
    }

private:
    std::optional<GdiplusScope> gdiplus_;
    std::optional<ComScope> com_;
    std::optional<OleScope> ole_;
};
