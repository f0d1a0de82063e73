#pragma once

// Opens a document or web address through the desktop shell's own process
// (its IShellDispatch2), so that what it starts runs with the user's rights and
// not with this elevated program's. There is no fallback: when the shell cannot
// be reached nothing is started and false is returned. UI thread.
bool OpenWithUserShell(const wchar_t* target);
