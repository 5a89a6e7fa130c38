// What the progress benchmark asks of the system.
#pragma once

#include "progress/ProgressViewer.h"

// Processor time used by the whole process so far (all threads), in seconds.
double ProcessCpuSeconds();

// True while the window is mapped (shown) on the screen.
bool WindowShown(TWindowHandle window);
