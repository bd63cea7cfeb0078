// The serial side every simulated mount shares: faults that start later, as corvane-mountsim's
// "--fault NAME@SECONDS" plays them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/SimulatedEarlyNexStar.h"
#include "sim/SimulatedMount.h"
#include "sim/SimulatedNexStar.h"

using namespace corvane;

namespace {

const MountSite kSite{40.0, -75.0, 100.0, -4.0};

struct Rig {
    const char* name;
    std::string probe;  // a query the model answers
};

std::unique_ptr<SimulatedSerialMount> Make(const std::string& name, Clock& clock) {
    if (name == "lx200") return std::make_unique<SimulatedMount>(MountModel::LX200, kSite, clock);
    if (name == "cge") return std::make_unique<SimulatedNexStar>(NexStarModel::Cge, kSite, clock);
    return std::make_unique<SimulatedEarlyNexStar>(EarlyNexStarModel::Ultima2000, kSite, clock);
}

std::string Ask(SimulatedSerialMount& mount, ManualClock& clock, const std::string& probe) {
    mount.Write(probe);
    clock.Advance(1.0);
    return mount.Read(std::max(0, mount.BytesWaiting()));
}

}  // namespace

TEST(SimulatedLine, DelayedFaultsStartOnTimeOnEveryModel) {
    const std::vector<Rig> rigs = {{"lx200", ":GZ#"}, {"cge", "E"}, {"ultima", "E\r\n"}};
    for (const Rig& rig : rigs) {
        SCOPED_TRACE(rig.name);
        ManualClock clock(2457871.5);
        auto mount = Make(rig.name, clock);
        ASSERT_TRUE(mount->Open("sim"));
        mount->InjectFaultAfter(MountFault::Silence, 5.0);
        EXPECT_EQ(mount->ActiveFault(), MountFault::None);
        EXPECT_FALSE(Ask(*mount, clock, rig.probe).empty()) << "answers before the fault";
        clock.Advance(4.5);
        EXPECT_EQ(mount->ActiveFault(), MountFault::Silence);
        EXPECT_TRUE(Ask(*mount, clock, rig.probe).empty()) << "silent once the fault has started";

        // A closed line refuses writes and reads from its moment on, and cannot be reopened.
        mount->InjectFault(MountFault::None);
        mount->InjectFaultAfter(MountFault::ClosedLine, 2.0);
        EXPECT_TRUE(mount->Write(rig.probe));
        clock.Advance(2.0);
        EXPECT_FALSE(mount->Write(rig.probe));
        EXPECT_EQ(mount->BytesWaiting(), -1);
        EXPECT_FALSE(mount->Open("sim"));
    }
}

TEST(SimulatedLine, AnImmediateFaultReplacesAPendingOne) {
    ManualClock clock(2457871.5);
    SimulatedMount mount(MountModel::LX200, kSite, clock);
    mount.Open("sim");
    mount.InjectFaultAfter(MountFault::ClosedLine, 1.0);
    mount.InjectFault(MountFault::None);
    clock.Advance(2.0);
    EXPECT_EQ(mount.ActiveFault(), MountFault::None);
    EXPECT_FALSE(Ask(mount, clock, ":GZ#").empty());
}
