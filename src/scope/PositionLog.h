#pragma once
// The position log of the Log File interface: "log" + catalogue number + ".txt", the six-line
// header of the pass text log and one "|"-separated record per computed position with a seventh
// field, CR LF line ends. The texts are those of passes/PassLog.h, so both logs are written by
// one formatter. Every write is checked: a full disk ends the log with an error instead of an
// empty file. Not thread-safe: used by the tracking thread only.
#include <string>

#include "core/AtomicFile.h"

namespace corvane {

struct PositionLogHeader {
    std::string objectName;                                // name line; trailing blanks are removed
    std::string catalogueNumber;                           // blanks around it are removed
    std::string latitude, longitude, altitude, utcOffset;  // the site fields as shown
    std::string elementFile;
};

// "log25544.txt" for catalogue number " 25544 ".
std::string PositionLogFileName(const std::string& catalogueNumber);
// The six header lines, CR LF each.
std::string PositionLogHeaderText(const PositionLogHeader& header);
// One record with its seventh field (right ascension minus local sidereal time, degrees), CR LF.
std::string PositionRecordLine(double jdUtc, double azimuthDeg, double elevationDeg, double raHours,
                               double decDeg, double raMinusLstDeg);

class PositionLog {
public:
    // Creates (replaces) the file in `folder` and writes the header. False when it cannot
    // (Error() says why; the log is then closed).
    bool Open(const std::string& folder, const PositionLogHeader& header);
    bool IsOpen() const { return file_.IsOpen(); }
    // Appends the record unless its time text equals the previous record's (that counts as
    // success). False when the log is not open or the record could not be written: the log is
    // then closed and Error() says why; the caller stops tracking with that message.
    bool Append(double jdUtc, double azimuthDeg, double elevationDeg, double raHours, double decDeg,
                double raMinusLstDeg);
    // False when the system reports at closing that written data was lost (Error() says why).
    bool Close();
    const std::string& Path() const { return path_; }
    // What went wrong last, as a sentence for the user ("" while nothing has).
    const std::string& Error() const { return error_; }

private:
    bool Fail();

    OutputFile file_;
    std::string path_;
    std::string lastTime_;
    std::string error_;
};

}  // namespace corvane
