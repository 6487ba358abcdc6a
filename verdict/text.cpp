#include "text.h"

#include "numbers/write.h"

namespace verdict {

Text& Text::append(const char* characters, size_t count)
{
    for (size_t i = 0; i < count && length < kCapacity; ++i) text[length++] = characters[i];
    text[length] = '\0';
    return *this;
}

Text& Text::operator<<(const char* words)
{
    size_t count = 0;
    while (words[count]) ++count;
    return append(words, count);
}

Text& Text::whole(int64_t value)
{
    char digits[32];
    return append(digits, numbers::writeWhole(digits, value));
}

Text& Text::fixed(double value, int decimals)
{
    char digits[32];
    return append(digits, numbers::writeFixed(digits, value, decimals));
}

Text& Text::significant(double value, int digits)
{
    char written[40];
    return append(written, numbers::writeSignificant(written, value, digits));
}

Text& Text::threeDigits(double value)
{
    char digits[32];
    return append(digits, numbers::writeThreeDigits(digits, value));
}

}  // namespace verdict
