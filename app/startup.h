#pragma once
// The start-up sequence, apart from creating the application object.

class VennaliApplication;

// Creates the windows in their order, shows the main window and runs the
// event loop. A failure while the main window is created is shown in an error
// box and ends start-up with exit code 1.
int runVennali(VennaliApplication &app);
