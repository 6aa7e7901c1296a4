// The real models of the main window over the platform.
#include "AppController.h"
#include "platform/Platform.h"

namespace vox {

AppModels createAppModels(const Platform &platform)
{
    Q_UNUSED(platform);
    AppModels m;
    return m;
}

} // namespace vox
