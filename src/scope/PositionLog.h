#pragma once
// The position log of the Log File interface: "log" + catalogue number + ".txt", a six-line
// header and one "|"-separated record per computed position, CR LF line ends. Not thread-safe:
// used by the tracking thread only.
#include <cstdio>
#include <string>

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
// "HH:MM:SS.ss" of a UTC Julian date, the fraction cut: the key that keeps records apart.
std::string PositionTimeText(double jdUtc);
// One record with its seventh field (right ascension minus local sidereal time, degrees), CR LF.
std::string PositionRecordLine(double jdUtc, double azimuthDeg, double elevationDeg, double raHours,
                               double decDeg, double raMinusLstDeg);
// A number in "#.00000"-style picture: 5 decimals, no leading zero ("7.50000", ".25000").
std::string PicturedNumber(double value);

class PositionLog {
public:
    ~PositionLog() { Close(); }
    // Creates (replaces) the file in `folder` and writes the header. False when it cannot.
    bool Open(const std::string& folder, const PositionLogHeader& header);
    bool IsOpen() const { return file_ != nullptr; }
    // Appends the record unless its time text equals the previous record's.
    void Append(double jdUtc, double azimuthDeg, double elevationDeg, double raHours, double decDeg,
                double raMinusLstDeg);
    void Close();
    const std::string& Path() const { return path_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string lastTime_;
};

}  // namespace corvane
