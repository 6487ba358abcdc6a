// Texts of bounded length built without allocation or the C library's stdio,
// numbers written as printf writes them in the C locale: the WebAssembly build
// links these and stays free of imports, and tessel-render writes the same
// characters from the same code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace verdict {

// Writes into `out` (at least 32 chars) and returns how many were written, no NUL:
// printf's "%.*f" of `value` with 0 to 6 decimals, rounded exactly, ties to
// even, for |value| * 10^decimals below 2^63.
size_t writeFixed(char* out, double value, int decimals);
// `value` (above 0, at least 0.0001, below 2^53) rounded to three significant
// digits, ties to even, written out in full without an exponent: "66.7",
// "0.000195", "1000", "11000".
size_t writeThreeDigits(char* out, double value);
// The same with `digits` (1 to 9) significant digits, as printf's "%.*g"
// writes them for values from 10^(digits - 10) up to 10^digits: "0.66678".
size_t writeSignificant(char* out, double value, int digits);
// A whole number: "-42".
size_t writeWhole(char* out, int64_t value);

// A text of at most kCapacity characters; what would run past them is left off.
class Text {
public:
    static constexpr size_t kCapacity = 1023;

    Text& operator<<(const char* words);
    Text& whole(int64_t value);
    Text& fixed(double value, int decimals);  // as writeFixed
    Text& threeDigits(double value);          // as writeThreeDigits
    Text& significant(double value, int digits);  // as writeSignificant

    const char* c_str() const { return text; }
    size_t size() const { return length; }

private:
    Text& append(const char* characters, size_t count);

    char text[kCapacity + 1] = {};
    size_t length = 0;
};

}  // namespace verdict
