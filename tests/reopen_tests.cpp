// Instances opened again and again, and thousands of them coming and going
// side by side: every open starts afresh, and no instance disturbs another.
#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "hardening_support.h"
#include "test_support.h"

using namespace testing_support;
using namespace sep;
using namespace hardening;
using host::HostCall;
using host::HostedModule;

// --- opening twice -----------------------------------------------------------

TEST(SecondOpen, BuildsAFreshPinArray)
{
    HostedModule module;
    connectUsual(module, tessel::Gated);
    module.open();
    module.sendStatus(tessel::ResetPin, Streaming);
    module.open();
    module.clearCalls();
    module.sendStatus(tessel::GatePin, Static);
    EXPECT_EQ(announcedStatuses(module), (std::vector<int32_t>{Static, Static}))
        << "the Reset status of the old pins must be gone";
}

TEST(SecondOpen, ASmallerArrayReplacesALargerOne)
{
    HostedModule module;
    connectUsual(module, tessel::Gated);
    module.hostPinCount = 10;
    module.open();
    module.hostPinCount = 2;
    module.open();
    module.clearCalls();
    for (int32_t target : {2, 5, 9}) module.sendStatus(target, Streaming);
    EXPECT_TRUE(module.calls.empty()) << "pins of the old array are gone";
    module.hostPinCount = 0;
    module.open();
    module.clearCalls();
    module.sendStatus(0, Streaming);
    EXPECT_TRUE(module.calls.empty());
    module.hostPinCount = 12;
    module.open();
    module.clearCalls();
    module.sendStatus(11, Streaming);
    EXPECT_EQ(announcedPins(module), (std::vector<int32_t>{6, 7}));
}

TEST(SecondOpen, RestartsTheMapEveryTime)
{
    HostedModule module;
    connectUsual(module);
    const std::vector<uint32_t> reference = referenceOrbit(8);
    for (int round = 0; round < 200; ++round) {
        module.hostPinCount = round % 13 - 1;
        module.open();
        module.process(0, 8);
        ASSERT_EQ(outputBits(module, 0, 8), reference) << round;
    }
}

// --- many instances -------------------------------------------------------------

namespace {

// Every instance runs Continuous from x0 = y0 = 0 with the usual a and b, so
// each output sample is a known element of one orbit; reloads come only from
// open and from a Streaming x0, y0, a or b, which the churn tracks.
class Churn {
public:
    static constexpr int32_t kInstances = 10000;
    static constexpr int32_t kSlots = 7;
    static constexpr int32_t kLength = 64;
    static constexpr int32_t kOrbitLength = 4096;

    // A slot picked at random: an instance made, or one acted on.
    void step()
    {
        Slot& slot = slots[pick(kSlots)];
        if (!slot.host) {
            create(slot);
            return;
        }
        switch (pick(6)) {
        case 0:
        case 1:
        case 2: process(slot); break;
        case 3:
        case 4: sendStatus(slot); break;
        default:
            ASSERT_EQ(slot.host->close(), 1);
            slot.host.reset();
            break;
        }
    }

    void closeAll()
    {
        for (Slot& slot : slots) slot.host.reset();
    }

    int32_t created = 0;
    int64_t samples = 0;

private:
    struct Slot {
        std::unique_ptr<HostedModule> host;
        std::array<int32_t, tessel::MapPinCount + 2> status{};  // pins 10 and 11 exist when counted
        int32_t pins = 0;
        int32_t position = 0;  // orbit index of the next sample
    };

    int32_t pick(int32_t n) { return static_cast<int32_t>(random() % static_cast<uint32_t>(n)); }

    void create(Slot& slot)
    {
        static constexpr int32_t kPinCounts[] = {10, 10, 12, 8, 3, 0, -1};
        slot.host = std::make_unique<HostedModule>();
        ASSERT_TRUE(slot.host->valid());
        connectUsual(*slot.host, tessel::Continuous, kLength);
        slot.pins = kPinCounts[pick(7)];
        slot.host->hostPinCount = slot.pins;
        slot.host->open();
        if (!processMap) processMap = slot.host->currentProcess();
        slot.status.fill(Static);
        slot.position = 0;
        ++created;
    }

    // A block, checked sample by sample against the orbit; reopened first
    // where the block would run past the orbit known.
    void process(Slot& slot)
    {
        const int32_t count = 1 + pick(kLength);
        if (slot.position + count > kOrbitLength) {
            slot.host->open();
            slot.status.fill(Static);
            slot.position = 0;
        }
        slot.host->process(0, count);
        for (int32_t i = 0; i < count; ++i) {
            ASSERT_EQ(bitsOf(slot.host->buffer(tessel::XPin)[i]), orbit[2 * (slot.position + i)]) << created;
            ASSERT_EQ(bitsOf(slot.host->buffer(tessel::YPin)[i]), orbit[2 * (slot.position + i) + 1]) << created;
        }
        slot.position += count;
        samples += count;
    }

    // Any status on any pin, counted or not; a streaming x0, y0, a or b restarts the orbit.
    void sendStatus(Slot& slot)
    {
        const int32_t pin = pick(tessel::MapPinCount + 4) - 1;
        const int32_t status = pick(3);
        slot.host->sendStatus(pin, status);
        if (pin >= 0 && pin < slot.pins) {
            slot.status[pin] = status;
            if (std::max({slot.status[tessel::X0Pin], slot.status[tessel::Y0Pin], slot.status[tessel::APin],
                          slot.status[tessel::BPin]}) > Transient)
                slot.position = 0;
            if (status == Transient) slot.status[pin] = Static;
        }
        ASSERT_EQ(slot.host->currentProcess(), processMap) << "Continuous never winds down";
    }

    const std::vector<uint32_t> orbit = referenceOrbit(kOrbitLength);
    ProcessEntry processMap = nullptr;
    std::array<Slot, kSlots> slots;
    std::minstd_rand random{20261207};
};

}  // namespace

TEST(InstanceChurn, TenThousandInstancesInterleaved)
{
    Churn churn;
    while (churn.created < Churn::kInstances) ASSERT_NO_FATAL_FAILURE(churn.step());
    churn.closeAll();
    EXPECT_GT(churn.samples, int64_t{Churn::kInstances} * Churn::kLength / 2);
}
