// The map module as the library's one module type.
#include <new>

#include "framework/module_library.h"
#include "map_module.h"

namespace sep {

void fillLibraryTexts(ModuleProperties* properties) { tessel::MapModule::fillModuleTexts(properties); }

ModuleBase* createModule(HostCallback callback, int32_t hostHandle)
{
    return new (std::nothrow) tessel::MapModule(callback, hostHandle);
}

}  // namespace sep
