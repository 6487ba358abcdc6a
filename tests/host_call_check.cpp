// Linked into every test binary that hosts modules: a host call that breaks
// the host interface fails the test during which the module made it, whether
// or not the test looks at that call.
#include <string>

#include <gtest/gtest.h>

#include "host/emulator/host_calls.h"

namespace {

class HostCallCheck : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo&) override
    {
        for (const host::HostCallViolation& violation : host::takeHostCallViolations())
            ADD_FAILURE() << violation.describe();
    }
};

// The result printer is already listening, and hears a test's end after this.
const bool registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new HostCallCheck);
    return true;
}();

}  // namespace
