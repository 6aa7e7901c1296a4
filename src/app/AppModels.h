#pragma once
// The composition root: the real models of the main window over the
// platform (the window tests build theirs over the fake one).
#include "ui/AppController.h"

namespace vox {

struct Platform;

AppModels createAppModels(const Platform &platform);

} // namespace vox
