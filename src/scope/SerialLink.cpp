#include "scope/SerialLink.h"

#include <cctype>

#include "core/ComPort.h"
#include "scope/PosixSerialPort.h"
#include "scope/ReplyCheck.h"

namespace corvane {

namespace {
constexpr double kPollReadLimitSeconds = 10.0;
bool EndsWithHash(const std::string& text) { return !text.empty() && text.back() == '#'; }
bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
}  // namespace

std::string BracketedBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 5);
    for (unsigned char c : bytes) {
        out += '[';
        out += std::to_string(static_cast<int>(c));
        out += ']';
    }
    return out;
}

SerialLink::SerialLink(SerialPort& port, Clock& clock, TrackingDisplay& display, AuditLogFile* audit)
    : port_(port), clock_(clock), display_(display), audit_(audit), resolver_(SerialDeviceForPort) {}

void SerialLink::SetDeviceResolver(std::function<std::string(int)> resolver) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    resolver_ = std::move(resolver);
}

void SerialLink::SetStopTrackingHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    stopTrackingHook_ = std::move(hook);
}

std::string SerialLink::LastCommand() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return lastCommand_;
}

bool SerialLink::Connect(int portNumber) {
    portNumber = ComPortNumber(portNumber);
    if (const int open = connectedPort_.load(); open != 0) {
        display_.ShowMessage("Serial Port " + std::to_string(open) + " already connected",
                             "Connection Problem", MessageIcon::Warning);
        return false;
    }
    if (scopeType_.load() == ScopeType::INDI) return ConnectIndi();
    std::function<std::string(int)> resolver;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        resolver = resolver_;
    }
    lineFailed_.store(false);
    if (!port_.Open(resolver(portNumber))) {
        display_.ShowMessage("Unable To Initialize Serial Port", "Connection Problem", MessageIcon::Warning);
        return false;
    }
    connectedPort_.store(portNumber);
    display_.SetBusy(true);
    display_.SetConnecting(true);
    const bool identified = Identify();
    display_.SetConnecting(false);
    display_.SetBusy(false);
    if (!identified) {
        connectedPort_.store(0);
        port_.Close();
        return false;
    }
    display_.SetConnected(true);
    return true;
}

bool SerialLink::Identify() {
    bool ok = true;
    switch (scopeType_.load()) {
        case ScopeType::NEXSTARGPS:
        case ScopeType::CGE:
            ok = Wait(500) && ProbeNexStarPosition();
            break;
        case ScopeType::NEXSTAR:
            ok = Wait(500);
            break;
        case ScopeType::ULTIMA:
            (void)ReadAvailable();
            SendCommand("U");
            ok = Wait(500);
            (void)ReadAvailable();
            break;
        case ScopeType::LOGFILE:
            break;
        case ScopeType::AP:
            ok = IdentifyCompatible();
            break;
        default:
            ok = IdentifyLx200Family();
            break;
    }
    if (StopRaised()) {
        // Cancelled by the user (or the program is closing): no error to report.
        AuditLog("Connection cancelled.");
        return false;
    }
    if (!ok)
        display_.ShowMessage("Cannot Communicate with Telescope!", "Communication Error.",
                             MessageIcon::Error);
    return ok;
}

bool SerialLink::IdentifyLx200Family() {
    longFormat_.store(false);
    SendCommand("#:GZ#");
    Wait(300);
    const std::string first = ReadReply();
    // DEPARTURE: the answer must read as an azimuth, not merely have three characters: a noisy
    // line is not a mount, and would otherwise fail later with a misleading message.
    if (first.size() < 3 || !IsCoordinateReply(first)) return false;
    if (first.size() > 8) {
        longFormat_.store(true);
        return true;
    }
    // Short azimuth: toggle the mount's precision and ask again.
    SendCommand("#:U#");
    SendCommand("#:GZ#");
    longFormat_.store(ReadReply().size() > 8);
    return true;
}

bool SerialLink::IdentifyCompatible() {
    longFormat_.store(true);
    SendCommand("#:GD#");
    Wait(300);
    const std::string reply = ReadReply();
    // DEPARTURE: the answer must read as a declination (see IdentifyLx200Family).
    return reply.size() > 3 && IsCoordinateReply(reply);
}

bool SerialLink::ProbeNexStarPosition() {
    // The NexStar "E" query: four hex digits, a comma, four hex digits, "#".
    if (!Wait(100)) return false;
    (void)ReadWaiting();
    SendCommand("E");
    if (!Wait(500)) return false;
    int tries = 0;
    while (port_.BytesWaiting() >= 0 && port_.BytesWaiting() < 9 && tries <= 200) {
        ++tries;
        if (!Wait(40)) return false;
    }
    const std::string reply = ReadWaiting();
    const size_t comma = reply.find(',');
    if (reply.size() < 9 || comma == std::string::npos || comma < 4 || comma + 5 > reply.size()) {
        AuditLog("Could not get NX RA/DEC!! Got >" + BracketedBytes(reply) + "< qty" +
                 std::to_string(reply.size()));
        return false;
    }
    for (size_t i = comma - 4; i < comma + 5; ++i) {
        if (i != comma && !IsHex(reply[i])) return false;
    }
    return true;
}

void SerialLink::Disconnect() {
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        hook = stopTrackingHook_;
    }
    if (hook) hook();
    // A short pause so that the stop sequence leaves the line before it closes (not cut short by
    // the stop signal: it belongs to the stop).
    clock_.Sleep(500);
    connectedPort_.store(0);
    if (indi_ != nullptr) indi_->Disconnect();
    port_.Close();
    display_.SetBusy(false);
    display_.SetConnected(false);
}

void SerialLink::SetIndiServer(const IndiServer& server) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    indiServer_ = server;
}

IndiServer SerialLink::GetIndiServer() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return indiServer_;
}

// The INDI interface connects to its server and device instead of opening a port; the port
// number 1 stands for the connection, as for the Log File interface.
bool SerialLink::ConnectIndi() {
    const IndiServer server = GetIndiServer();
    if (indi_ == nullptr) {
        display_.ShowMessage("INDI is not available in this program.", "Connection Problem",
                             MessageIcon::Warning);
        return false;
    }
    lineFailed_.store(false);
    connectedPort_.store(1);
    display_.SetBusy(true);
    display_.SetConnecting(true);
    AuditLog("Connecting to INDI server " + server.host + ":" + std::to_string(server.port) + ", device " +
             server.device);
    std::string error;
    const bool ok = indi_->Connect(
        server, [this](int ms) { return Wait(ms); }, error);
    display_.SetConnecting(false);
    display_.SetBusy(false);
    if (!ok) {
        connectedPort_.store(0);
        indi_->Disconnect();
        if (StopRaised()) {
            AuditLog("Connection cancelled.");
        } else {
            AuditLog(error);
            display_.ShowMessage(error, "Connection Problem", MessageIcon::Warning);
        }
        return false;
    }
    AuditLog("Connected to INDI device " + server.device);
    display_.SetConnected(true);
    return true;
}

bool SerialLink::PortOpen() { return port_.IsOpen(); }

bool SerialLink::Write(std::string_view command) {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        lastCommand_ = std::string(command);
    }
    bool written = true;
    if (PortOpen()) {
        if (scopeType_.load() == ScopeType::ULTIMA) {
            std::string bytes(command);
            bytes += "\r\n";
            written = port_.Write(bytes);
        } else {
            written = port_.Write(command);
        }
    }
    if (!written) {
        // DEPARTURE: a write the line refused is reported, not logged as sent, and marks the line
        // failed so that tracking ends instead of talking into the void.
        lineFailed_.store(true);
        AuditLog("Send failed *>" + BracketedBytes(command) + "<*");
        return false;
    }
    lastWriteAt_.store(clock_.MonotonicSeconds());
    AuditLog("Sent *>" + BracketedBytes(command) + "<*");
    return true;
}

bool SerialLink::SendCommand(std::string_view command) {
    if (stop_ == nullptr) return Write(command);
    bool written = false;
    if (!stop_->Gated([&] { written = Write(command); })) {
        AuditLog("Not sent, tracking stopped *>" + BracketedBytes(command) + "<*");
        return false;
    }
    return written;
}

bool SerialLink::SendStopCommand(std::string_view command) { return Write(command); }

bool SerialLink::Wait(int milliseconds) {
    if (stop_ != nullptr) return stop_->Wait(clock_, milliseconds);
    clock_.Sleep(milliseconds);
    return true;
}

int SerialLink::Waiting() {
    const int waiting = port_.BytesWaiting();
    if (waiting < 0) lineFailed_.store(true);
    return waiting;
}

std::string SerialLink::ReadWaiting() {
    if (!PortOpen()) return {};
    const int waiting = Waiting();
    return waiting > 0 ? port_.Read(waiting) : std::string();
}

std::string SerialLink::ReadAvailable() {
    std::string reply = ReadWaiting();
    if (!EndsWithHash(reply) && Wait(150)) reply += ReadWaiting();
    if (!EndsWithHash(reply) && Wait(50)) reply += ReadWaiting();
    if (scopeType_.load() == ScopeType::ETX494) {
        for (int pause : {150, 350, 750, 750}) {
            if (EndsWithHash(reply) || reply == "1") break;
            if (!Wait(pause)) break;
            reply += ReadWaiting();
        }
    }
    AuditLog("Rcvd *>" + reply + "<*");
    return reply;
}

std::string SerialLink::PollRead(int maxTries, bool untilHashOnly) {
    if (connectedPort_.load() == 0) return {};
    const double start = clock_.MonotonicSeconds();
    Wait(20);
    std::string text;
    int tries = 0;
    for (;;) {
        if (untilHashOnly) {
            if (text.find('#') != std::string::npos) break;
        } else if (EndsWithHash(text) || text == "1" || text == "0") {
            break;
        }
        text += ReadAvailable();
        ++tries;
        // DEPARTURE: a line that reports itself closed cannot answer; give up at once instead of
        // polling it for up to a minute and a half.
        // DEPARTURE: no reply is waited for longer than 10 s; the slow AutoStar #494's reads
        // made the 30 tries of an identification last more than a minute.
        if (tries > maxTries || Waiting() < 0 || StopRaised() ||
            clock_.MonotonicSeconds() - start >= kPollReadLimitSeconds) {
            text.clear();
            break;
        }
        if (!untilHashOnly && text.find("elow") != std::string::npos) break;
        Wait(20);
    }
    if (audit_ != nullptr) audit_->WriteWithoutFraction(" Rcvd *>" + text + "<*");
    return text;
}

std::string SerialLink::ReadReply() { return PollRead(30, false); }

std::string SerialLink::ReadUntilTerminator() { return PollRead(400, true); }

void SerialLink::AuditLog(std::string_view text) {
    if (audit_ != nullptr) audit_->Write(text);
}

}  // namespace corvane
