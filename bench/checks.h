// The honesty of the set-up: what must hold for the table to mean what it
// says. Each prints what fails.
#pragma once

namespace bench {

// Before measuring: the recurrence floor writes exactly the module's bits,
// and the subnormal and normal runs pass through the values they are named for.
bool checkSetup();

// After measuring: no hosted instance made a host call that broke the host
// interface; a module that does is not the module the table is about.
bool hostCallsKept();

}  // namespace bench
