#pragma once

namespace postloom {

// What the workers and the processing chains need of the main window: the
// progress display in the status bar. The desktop program's main window
// implements it; the calls arrive on the user-interface thread.
class MainWindow {
public:
    virtual ~MainWindow() = default;

    // ID_DISP_PROGRESS: show the progress display with the range lower ..
    // upper, at position 0.
    virtual void dispProgress(int lower, int upper) = 0;
    // ID_UPDATE_PROGRESS: flag not 0 moves the progress display to position;
    // flag 0 ends the display.
    virtual void updateProgress(int position, int flag) = 0;
};

}  // namespace postloom
