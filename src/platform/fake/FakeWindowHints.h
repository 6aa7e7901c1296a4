#pragma once
// Window-manager requests, recorded instead of sent.
#include "platform/WindowHints.h"

#include <vector>

namespace vox::fake {

class FakeWindowHints : public WindowHints {
public:
    void keepAboveOnAllWorkspaces(QWindow *window) override { keptAbove.push_back(window); }

    // Every window asked for, in order.
    std::vector<QWindow *> keptAbove;
};

} // namespace vox::fake
