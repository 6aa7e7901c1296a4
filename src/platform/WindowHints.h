#pragma once
// Requests to the window manager about one of our windows that Qt's window
// flags do not cover.
class QWindow;

namespace vox {

class WindowHints {
public:
    virtual ~WindowHints() = default;
    // Asks for the shown `window` to stay above other windows and to appear
    // on every workspace. Does nothing where the window manager cannot be asked.
    virtual void keepAboveOnAllWorkspaces(QWindow *window) = 0;
};

} // namespace vox
