// The desktop's file chooser, run as a separate process (zenity or kdialog).
#pragma once
#include <cstddef>

// Shows an open-file chooser starting in `initialDirectory`. `filter` is the list of
// description and pattern pairs, each text zero-terminated, the list ended by an empty text
// ("Saves\0*.sav\0\0"); it may be null. Returns 1 with the chosen path in `out`, 0 when the
// user cancelled, -1 when no chooser is installed or none may be shown (unattended runs).
int Plat_OpenFileDialog(const char* filter, const char* initialDirectory, char* out, size_t outSize);
