#pragma once
// The view-models of the floating subtitle, settings, history and course
// review windows, registered under "VoxleafNative 1.0" for the QML views.
namespace vox {

// Once per process; later calls do nothing.
void registerWindowQmlTypes();

} // namespace vox
