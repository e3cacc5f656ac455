#include "app/resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares a function of the global namespace, so it is
// called from here and not from inside namespace ortholay.
static void RegisterOrtholayResources() {
    Q_INIT_RESOURCE(ortholay);
}

namespace ortholay {

void InitResources() {
    static const bool registered = (RegisterOrtholayResources(), true);
    (void)registered;
}

}  // namespace ortholay
