#pragma once

#include "sheet/model.h"

// The program: loads the settings, offers the file-type registration, runs
// the main window until it ends and saves the settings. Returns the exit code.
int programEntry(int argc, char** argv, Edition edition, const char* version);
