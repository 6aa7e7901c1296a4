#include "Platform.h"

namespace vox {

namespace {
Platform &storage()
{
    static Platform p;
    return p;
}
} // namespace

Platform &platform()
{
    return storage();
}

void setPlatform(Platform p)
{
    storage() = std::move(p);
}

} // namespace vox
