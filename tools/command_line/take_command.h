// A take: the module rendered for a while, its inputs held or patched, written
// to a WAV file, a picture or both, and reported on stderr.
#pragma once

#include "options.h"
#include "tools/render/scenario.h"

namespace command_line {

int runTake(const Arguments& arguments, const render::Scenario& scenario);

}  // namespace command_line
