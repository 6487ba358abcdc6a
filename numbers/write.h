// Numbers written as printf writes them in the C locale, without allocation
// or the C library's stdio: the WebAssembly build links these and stays free
// of imports, and every host, the verdict's words and the tools write the same
// characters from the same code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace numbers {

// Each writes into `out` (at least 32 chars) and returns how many were written, no NUL.

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
// printf's "%.*g" of any double with 1 to 17 significant digits, rounded
// exactly, ties to even: "0.25", "-0", "1e+06", "5.5e-17".
size_t writeGeneral(char* out, double value, int digits);
// A whole number: "-42".
size_t writeWhole(char* out, int64_t value);

// printf's "%g": six significant digits, an exponent below 0.0001 and from 10^6.
std::string generalText(double value);
// printf's "%.*f", 0 to 6 decimals, as writeFixed.
std::string fixedText(double value, int decimals);
// Plain decimals, no exponent, no trailing zeros: printf's "%.6f", trimmed.
std::string decimalText(double value);

}  // namespace numbers
