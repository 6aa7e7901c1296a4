#pragma once
// Window-manager requests through X11 (EWMH client messages). Under any other
// Qt platform plugin the requests are dropped.
#include "platform/WindowHints.h"

namespace vox {

class X11WindowHints final : public WindowHints {
public:
    void keepAboveOnAllWorkspaces(QWindow *window) override;
};

} // namespace vox
