// The Log File interface's position log and the audit log on a full disk, and the one
// formatter the position log shares with the pass text log.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "core/Clock.h"
#include "passes/PassLog.h"
#include "scope/AuditLogFile.h"
#include "scope/PositionLog.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

struct Folder {
    Folder() {
        path = fs::temp_directory_path() / ("corvane-poslog-" + std::to_string(::getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    fs::path path;
};

// Files of this process may not grow past `bytes` while it lives (EFBIG instead of SIGXFSZ).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        old_signal_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_signal_);
    }

private:
    rlimit old_{};
    void (*old_signal_)(int) = nullptr;
};

const double kJd = CivilToJulianDate(2026, 1, 5, 3, 4, 5.678);
const PositionLogHeader kHeader{"ISS (ZARYA)", "25544", "40.0", "-75", "100", "-4", "visual.txt"};

}  // namespace

TEST(PositionLogFormat, OneFormatterForThePassLogAndTheLogFileInterface) {
    // Halves of the fifth decimal round away from zero in both logs (45.123455 is stored a
    // little below the half, but reads as it was written).
    EXPECT_EQ(PositionRecordLine(kJd, 359.123455, 45.123455, 7.123455, -0.123455, 1.5),
              PositionRecordText(kJd, LogPosition{359.123455, 45.123455, 7.123455, -0.123455}) + "| 1.5\r\n");
    EXPECT_EQ(PositionRecordLine(kJd, 359.123455, 45.123455, 7.123455, -0.123455, 1.5),
              "20260105|03:04:05.67|359.12346|+45.12346|7.12346|-.12346| 1.5\r\n");
    LogHeader passHeader{"ISS (ZARYA)", " 25544 ", SiteTexts{"", "40.0", "-75", "100", "-4"}, "visual.txt"};
    EXPECT_EQ(PositionLogHeaderText(kHeader), LogHeaderText(passHeader));
    // NUL padding of fixed-width fields never reaches the file.
    PositionLogHeader padded = kHeader;
    padded.objectName += std::string(3, '\0');
    padded.elementFile += std::string("  \0", 3);
    EXPECT_EQ(PositionLogHeaderText(padded), PositionLogHeaderText(kHeader));
}

TEST(PositionLogFile, AFullDiskEndsTheLogWithAReason) {
    Folder f;
    fs::create_symlink("/dev/full", f.path / "log25544.txt");
    PositionLog log;
    EXPECT_FALSE(log.Open(f.path.string(), kHeader)) << "the header cannot be written";
    EXPECT_FALSE(log.IsOpen());
    EXPECT_NE(log.Error().find("No space left on device"), std::string::npos) << log.Error();
    EXPECT_FALSE(log.Append(kJd, 1, 2, 3, 4, 5));

    // The disk fills after the header and one record.
    fs::remove(f.path / "log25544.txt");
    const size_t room = PositionLogHeaderText(kHeader).size() + PositionRecordLine(kJd, 1, 2, 3, 4, 5).size();
    FileSizeLimit limit(room);
    ASSERT_TRUE(log.Open(f.path.string(), kHeader));
    EXPECT_TRUE(log.Append(kJd, 1, 2, 3, 4, 5));
    EXPECT_TRUE(log.Append(kJd + 0.001 / 86400.0, 1, 2, 3, 4, 5)) << "same hundredth: nothing to write";
    EXPECT_FALSE(log.Append(kJd + 1.0 / 86400.0, 1, 2, 3, 4, 5));
    EXPECT_FALSE(log.IsOpen()) << "the log ends at the first lost record";
    EXPECT_NE(log.Error().find("File too large"), std::string::npos) << log.Error();
    EXPECT_NE(log.Error().find("log25544.txt"), std::string::npos) << log.Error();
}

TEST(AuditLogFailure, ALostLineClosesTheLogAndIsReportedOnce) {
    Folder f;
    fs::create_symlink("/dev/full", f.path / "output.txt");
    ManualClock clock{CivilToJulianDate(2017, 4, 27, 21, 5, 9.25)};
    AuditLogFile audit{clock};
    int reports = 0;
    std::string reason;
    audit.SetFailureHandler([&](const std::string& r) {
        ++reports;
        reason = r;
    });
    ASSERT_TRUE(audit.Open((f.path / "output.txt").string()));
    audit.Write("Sent *>[85]<*");
    audit.Write("Rcvd *>P<*");
    EXPECT_EQ(reports, 1);
    EXPECT_NE(reason.find("No space left on device"), std::string::npos) << reason;
    EXPECT_EQ(audit.Failure(), reason);
    EXPECT_FALSE(audit.IsOpen());
}
