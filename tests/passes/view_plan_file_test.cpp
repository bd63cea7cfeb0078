// "vplan.log" that cannot be read, or was damaged, is never emptied or shortened silently: what
// can be read is recovered, the file as it was is kept aside, and the user is told.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "core/AtomicFile.h"
#include "core/Clock.h"
#include "passes/ViewPlan.h"
#include "support/Unprivileged.h"

using namespace corvane;
namespace fs = std::filesystem;
using Status = ViewPlanLoad::Status;

namespace {

const double kBefore = CivilToJulianDate(2017, 4, 27, 12, 0, 0);  // local now, before every pass

// Pass n of a plan: AOS n hours after 18:00 on 27 April 2017, named and numbered after n.
std::string Record(int n, const char* aosDirection = "NW", const char* losDirection = "SE") {
    ViewPlanEntry e;
    const double aos = CivilToJulianDate(2017, 4, 27, 18, 0, 0) + n / 24.0 + 7.0 / 86400.0;
    e.SetAos(aos);
    e.SetLos(aos + 393.0 / 86400.0);
    e.SetField(32, 8, "00:06:33");
    e.SetField(40, 15, "45\xB0 at 21:05:21");
    e.SetField(55, 25, "OBJECT " + std::to_string(n));
    e.SetField(80, 10, std::to_string(10000 + n));
    e.SetField(90, 2, aosDirection);
    e.SetField(92, 2, losDirection);
    return e.Record();
}

std::string Records(int first, int count) {
    std::string bytes;
    for (int n = first; n < first + count; ++n) bytes += Record(n);
    return bytes;
}

std::vector<std::string> RecordsOf(const ViewPlan& plan) {
    std::vector<std::string> out;
    for (const ViewPlanEntry& e : plan.entries) out.push_back(e.Record());
    return out;
}

struct PlanFolder {
    PlanFolder() {
        path = fs::temp_directory_path() / ("corvane-planfile-" + std::to_string(::getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
        fs::permissions(path, fs::perms(0755));
    }
    ~PlanFolder() {
        fs::permissions(path, fs::perms(0755));
        fs::remove_all(path);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
    std::string Plan() const { return file(kViewPlanFileName); }
    void WritePlan(const std::string& bytes) const { std::ofstream(Plan(), std::ios::binary) << bytes; }
    std::string Read(const std::string& name) const {
        std::string s;
        ReadWholeFile(file(name), s);
        return s;
    }
    fs::path path;
};

}  // namespace

TEST(ViewPlanDamage, AByteAddedAtTheStartLosesNoRecord) {
    PlanFolder f;
    const std::string original = "X" + Records(0, 3);
    f.WritePlan(original);
    ViewPlan plan;
    const ViewPlanLoad load = ReadViewPlan(plan, f.Plan());
    EXPECT_EQ(load.status, Status::kDamaged);
    EXPECT_EQ(load.records, 3u);
    EXPECT_EQ(load.damagedBytes, 1u);
    EXPECT_EQ(load.damagedRegions, 1u);
    EXPECT_EQ(RecordsOf(plan), (std::vector<std::string>{Record(0), Record(1), Record(2)}));
    EXPECT_FALSE(plan.keepFile);
    EXPECT_EQ(load.keptCopy, f.file("vplan.log.bad"));
    EXPECT_EQ(f.Read("vplan.log.bad"), original);
    EXPECT_EQ(ViewPlanLoadMessage(load, "vplan.log"),
              "vplan.log is damaged. 3 passes were read; 1 byte in 1 place could not be read. The file as it "
              "was is kept as " +
                  f.file("vplan.log.bad") + ".");

    // The plan saved after it holds every pass; the copy stays.
    ASSERT_TRUE(SaveViewPlan(plan, f.Plan(), kBefore));
    EXPECT_EQ(f.Read("vplan.log"), Records(0, 3));
    EXPECT_EQ(f.Read("vplan.log.bad"), original);
    EXPECT_EQ(ReadViewPlan(plan, f.Plan()).status, Status::kRead);
}

// A byte lost or added anywhere: in the times, the name or the compass codes of a record, or
// between records.
TEST(ViewPlanDamage, RandomSingleByteDamageNeverCostsMoreThanOneRecord) {
    std::mt19937 random(20170427);
    const int kCount = 20;
    std::vector<std::string> originals;
    for (int n = 0; n < kCount; ++n) originals.push_back(Record(n));
    PlanFolder f;
    for (int trial = 0; trial < 300; ++trial) {
        std::string bytes = Records(0, kCount);
        const size_t at = random() % bytes.size();
        if (trial % 2 == 0) {
            bytes.erase(at, 1);
        } else {
            bytes.insert(at, 1, static_cast<char>(random() & 0xFF));
        }
        f.WritePlan(bytes);
        ViewPlan plan;
        const ViewPlanLoad load = ReadViewPlan(plan, f.Plan());
        EXPECT_EQ(load.status, Status::kDamaged) << trial;
        // Every record read is one of the originals, in order, and at most one is missing.
        const auto read = RecordsOf(plan);
        EXPECT_GE(read.size(), static_cast<size_t>(kCount - 1)) << trial << " at " << at;
        size_t next = 0;
        for (const std::string& r : read) {
            while (next < originals.size() && originals[next] != r) ++next;
            EXPECT_LT(next, originals.size()) << trial << ": a record that was not written";
            ++next;
        }
        fs::remove(f.file("vplan.log.bad"));
    }
}

TEST(ViewPlanDamage, APartialRecordAtTheEndAndRecordsBeyond4000AreKeptAside) {
    PlanFolder f;
    const std::string partial = Records(0, 2) + Record(2).substr(0, 50);
    f.WritePlan(partial);
    ViewPlan plan;
    ViewPlanLoad load = ReadViewPlan(plan, f.Plan());
    EXPECT_EQ(load.status, Status::kDamaged);
    EXPECT_EQ(plan.Count(), 2u);
    EXPECT_EQ(load.damagedBytes, 50u);
    EXPECT_EQ(f.Read("vplan.log.bad"), partial);

    std::string many;
    for (int i = 0; i < 4001; ++i) many += Record(i % 50);
    f.WritePlan(many);
    load = ReadViewPlan(plan, f.Plan());
    EXPECT_EQ(load.status, Status::kDamaged);
    EXPECT_EQ(plan.Count(), 4000u);
    EXPECT_EQ(load.beyondCapacity, 1u);
    EXPECT_EQ(load.keptCopy, f.file("vplan.log.bad2")) << "the older copy is not replaced";
    EXPECT_NE(ViewPlanLoadMessage(load, "vplan.log").find("1 pass beyond the first 4000 were left out"),
              std::string::npos);
}

TEST(ViewPlanDamage, UnusualCompassCodesInStepAreNoDamage) {
    PlanFolder f;
    // "--" (no refined direction) and blanks are written by the pass search; an odd code in a
    // record that is in step with the next one is read as it is.
    const std::string bytes =
        Record(0, "--", "  ") + Record(1, "xy", "SE") + Record(2) + Record(3, "??", "!!");
    f.WritePlan(bytes);
    ViewPlan plan;
    const ViewPlanLoad load = ReadViewPlan(plan, f.Plan());
    EXPECT_EQ(load.status, Status::kRead);
    EXPECT_EQ(plan.Count(), 4u);
    EXPECT_FALSE(fs::exists(f.file("vplan.log.bad")));
}

TEST(ViewPlanDamage, AnUnreadableFileIsNeverWrittenOrDeleted) {
    PlanFolder f;
    const std::string original = Records(0, 3);
    f.WritePlan(original);
    test::MakeUnreadable(f.Plan());
    ViewPlan plan;
    ViewPlanLoad load;
    {
        test::AsUnprivileged nobody;
        ASSERT_TRUE(nobody.Effective());
        load = ReadViewPlan(plan, f.Plan());
    }
    EXPECT_EQ(load.status, Status::kUnreadable);
    EXPECT_TRUE(plan.Empty());
    EXPECT_TRUE(plan.keepFile);
    EXPECT_NE(ViewPlanLoadMessage(load, "vplan.log").find("Permission denied"), std::string::npos);

    // An empty plan is nothing to save; a pass added since cannot be saved over the file.
    EXPECT_TRUE(SaveViewPlan(plan, f.Plan(), kBefore));
    plan.entries.push_back(ViewPlanEntry::FromRecord(Record(5)));
    std::string error;
    EXPECT_FALSE(SaveViewPlan(plan, f.Plan(), kBefore, &error));
    EXPECT_NE(error.find("left as it is"), std::string::npos) << error;
    EXPECT_EQ(plan.Count(), 1u);
    ClearViewPlan(plan, f.Plan());  // "Remove All" or a new element file
    EXPECT_TRUE(plan.Empty());
    EXPECT_EQ(f.Read("vplan.log"), original);
    EXPECT_EQ(test::ModeOf(f.Plan()), 0u);
}

TEST(ViewPlanDamage, ADamagedFileThatCannotBeCopiedAsideIsKept) {
    PlanFolder f;
    const std::string original = "X" + Records(0, 2);
    f.WritePlan(original);
    fs::permissions(f.path, fs::perms(0555));  // no copy can be made beside it
    ViewPlan plan;
    ViewPlanLoad load;
    {
        test::AsUnprivileged nobody;
        ASSERT_TRUE(nobody.Effective());
        load = ReadViewPlan(plan, f.Plan());
    }
    fs::permissions(f.path, fs::perms(0755));
    EXPECT_EQ(load.status, Status::kDamaged);
    EXPECT_EQ(plan.Count(), 2u);
    EXPECT_EQ(load.keptCopy, "");
    EXPECT_TRUE(plan.keepFile);
    EXPECT_NE(ViewPlanLoadMessage(load, "vplan.log").find("could not be copied aside"), std::string::npos);
    EXPECT_FALSE(SaveViewPlan(plan, f.Plan(), kBefore));
    EXPECT_EQ(f.Read("vplan.log"), original);
}
