// The pictures and the icon that the program carries as Qt resources.
#pragma once

namespace ortholay {

// Registers the resources of the app library (a static library's resources
// are not registered by themselves). Safe to call more than once.
void InitResources();

}  // namespace ortholay
