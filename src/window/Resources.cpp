#include "Resources.h"

#include <QtGlobal>

// Outside any namespace: Q_INIT_RESOURCE declares the registration function
// where it is used, and rcc defines it at global scope.
void initWindowResources()
{
    Q_INIT_RESOURCE(resources);
}
