// The glossary of a verdict's words (verdict/glossary.h), for the page to
// explain them where they appear and to fill the manual's glossary.
#include <cstdint>

#include "verdict/glossary.h"
#include "verdict/text.h"

#define WEB_EXPORT(name) extern "C" __attribute__((export_name(name)))

// Entry `index` as JSON, {"id", "term", "phrases": [...], "explains"}, until the next call; null past the last.
// The texts hold no '"' or '\\'.
WEB_EXPORT("tessel_glossary_entry") const char* glossaryEntry(int32_t index)
{
    static verdict::Text json;
    verdict::GlossaryEntry entry;
    if (index < 0 || !verdict::glossaryEntry(static_cast<size_t>(index), entry)) return nullptr;
    json = verdict::Text();
    json << "{\"id\":\"" << entry.id << "\",\"term\":\"" << entry.term << "\",\"phrases\":[\"";
    for (const char* at = entry.phrases; *at; ++at) {
        const char character[] = {*at, '\0'};
        json << (*at == '|' ? "\",\"" : character);
    }
    json << "\"],\"explains\":\"" << entry.explanation.c_str() << "\"}";
    return json.c_str();
}
