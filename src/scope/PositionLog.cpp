#include "scope/PositionLog.h"

#include "core/Text.h"
#include "passes/PassLog.h"

namespace corvane {

std::string PositionLogFileName(const std::string& catalogueNumber) {
    return PassLogFileName(catalogueNumber);
}

std::string PositionLogHeaderText(const PositionLogHeader& h) {
    LogHeader header;
    header.objectName = h.objectName;
    header.catalogueNumber = h.catalogueNumber;
    header.site = SiteTexts{"", h.latitude, h.longitude, h.altitude, h.utcOffset};
    header.tleFile = h.elementFile;
    return LogHeaderText(header);
}

std::string PositionRecordLine(double jdUtc, double azimuthDeg, double elevationDeg, double raHours,
                               double decDeg, double raMinusLstDeg) {
    return PositionRecordText(jdUtc, LogPosition{azimuthDeg, elevationDeg, raHours, decDeg}) + "|" +
           HourAngleFieldText(raMinusLstDeg) + "\r\n";
}

bool PositionLog::Fail() {
    error_ = file_.Error();
    file_.Close();
    return false;
}

bool PositionLog::Open(const std::string& folder, const PositionLogHeader& header) {
    Close();
    error_.clear();
    lastTime_.clear();
    path_ = (folder.empty() ? std::string(".") : folder) + "/" + PositionLogFileName(header.catalogueNumber);
    if (!file_.Create(path_) || !file_.Write(PositionLogHeaderText(header))) return Fail();
    return true;
}

// DEPARTURE: a record that cannot be written (a full disk) ends the log and is reported, so that
// tracking stops with a message instead of going on into a file that stays empty.
bool PositionLog::Append(double jdUtc, double azimuthDeg, double elevationDeg, double raHours, double decDeg,
                         double raMinusLstDeg) {
    if (!file_.IsOpen()) {
        if (error_.empty()) error_ = "the position log " + path_ + " is not open";
        return false;
    }
    const std::string time = LogTimeText(jdUtc);
    if (time == lastTime_) return true;
    if (!file_.Write(PositionRecordLine(jdUtc, azimuthDeg, elevationDeg, raHours, decDeg, raMinusLstDeg)))
        return Fail();
    lastTime_ = time;
    return true;
}

bool PositionLog::Close() {
    if (file_.Close()) return true;
    error_ = file_.Error();
    return false;
}

}  // namespace corvane
