#include "values.h"

#include "numbers/write.h"

namespace web {

void writeString(verdict::Text& json, const char* text)
{
    if (!text) {
        json << "null";
        return;
    }
    json << "\"";
    for (const char* at = text; *at; ++at) {
        const char character[] = {*at, '\0'};
        if (*at == '\n') json << "\\n";
        else if (*at == '"' || *at == '\\') json << "\\" << character;
        else json << (static_cast<unsigned char>(*at) < 0x20 ? "?" : character);
    }
    json << "\"";
}

void writeNumber(verdict::Text& json, double value)
{
    char text[40];
    text[numbers::writeGeneral(text, value, 17)] = '\0';
    json << text;
}

}  // namespace web
