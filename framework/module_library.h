// What a module library provides to the framework's exports. The framework
// declares these; each library's module defines them once, and the exports
// are the only callers.
#pragma once

#include "boundary.h"

namespace sep {

class ModuleBase;

// Writes the addresses of the library's name, identifier and about text into
// the host's record and nothing else. Called by getModuleProperties for index 0.
void fillLibraryTexts(ModuleProperties* properties);

// Constructs the library's module object for makeModule (index 0, kind 1),
// handing it the two values unchanged; null when memory runs out. Must not throw.
ModuleBase* createModule(HostCallback callback, int32_t hostHandle);

}  // namespace sep
