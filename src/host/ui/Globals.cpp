#include "host/ui/Globals.h"

namespace host {

Globals &Globals::instance()
{
    static Globals globals;
    return globals;
}

} // namespace host
