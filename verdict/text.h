// Texts of bounded length built without allocation or the C library's stdio,
// their numbers written by numbers/write.h as printf writes them: the
// WebAssembly build links these and stays free of imports, and tessel-render
// writes the same characters from the same code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace verdict {

// A text of at most kCapacity characters; what would run past them is left off.
class Text {
public:
    static constexpr size_t kCapacity = 1023;

    Text& operator<<(const char* words);
    Text& whole(int64_t value);
    Text& fixed(double value, int decimals);      // as numbers::writeFixed
    Text& threeDigits(double value);              // as numbers::writeThreeDigits
    Text& significant(double value, int digits);  // as numbers::writeSignificant

    const char* c_str() const { return text; }
    size_t size() const { return length; }

private:
    Text& append(const char* characters, size_t count);

    char text[kCapacity + 1] = {};
    size_t length = 0;
};

}  // namespace verdict
