// The words a verdict and a chart's legend use, each explained for a
// musician: written once here, for tessel-render's chart legend and, through
// the .wasm, the page, which shows them where the words appear and in the
// manual's glossary. ASCII only, as the pictures' font has nothing else.
#pragma once

#include <cstddef>

#include "text.h"

namespace verdict {

struct GlossaryEntry {
    const char* id;       // for links: "rounding-cycle"
    const char* term;     // as the glossary heads it: "rounding cycle, hatched"
    const char* phrases;  // the phrases that name it in verdicts and legends, longest first, '|' between
    Text explanation;
};

// Entries in the glossary's order; false past the last.
bool glossaryEntry(size_t index, GlossaryEntry& entry);

// The explanation of the entry with that id; empty for none.
Text glossaryExplanation(const char* id);

}  // namespace verdict
