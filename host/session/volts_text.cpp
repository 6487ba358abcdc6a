#include "volts_text.h"

#include "drive.h"
#include "numbers/read.h"
#include "numbers/write.h"

namespace host {

std::string voltsText(float signal)
{
    const double volts = double{signal} * kVoltsPerUnit;
    char text[40];
    std::string written;
    for (int digits = 1; digits <= 17; ++digits) {
        written.assign(text, numbers::writeGeneral(text, volts, digits));
        double readBack = 0.0;
        if (numbers::readNumber(written, readBack).empty() && signalFromVolts(readBack) == signal) break;
    }
    return written;
}

}  // namespace host
