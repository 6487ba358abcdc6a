// The glossary of a verdict's words (verdict/glossary.h), for the page to
// explain them where they appear and to fill the manual's glossary.
#include "calls.h"
#include "verdict/glossary.h"
#include "verdict/text.h"

const char* tessel_glossary_entry(int32_t index)
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
