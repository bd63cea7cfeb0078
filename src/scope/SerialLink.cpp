#include "scope/SerialLink.h"

#include <cctype>

#include "scope/PosixSerialPort.h"

namespace corvane {

namespace {
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
    if (portNumber < 1 || portNumber > 16) portNumber = 1;
    if (const int open = connectedPort_.load(); open != 0) {
        display_.ShowMessage("Serial Port " + std::to_string(open) + " already connected",
                             "Connection Problem", MessageIcon::Warning);
        return false;
    }
    std::function<std::string(int)> resolver;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        resolver = resolver_;
    }
    auto exchange = Exchange();
    if (!port_.Open(resolver(portNumber))) {
        display_.ShowMessage("Unable To Initialize Serial Port", "Connection Problem", MessageIcon::Warning);
        return false;
    }
    connectedPort_.store(portNumber);
    display_.SetBusy(true);
    const bool identified = Identify();
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
    auto exchange = Exchange();
    bool ok = true;
    switch (scopeType_.load()) {
        case ScopeType::NEXSTARGPS:
        case ScopeType::CGE:
            clock_.Sleep(500);
            ok = ProbeNexStarPosition();
            break;
        case ScopeType::NEXSTAR:
            clock_.Sleep(500);
            break;
        case ScopeType::ULTIMA:
            (void)ReadAvailable();
            SendCommand("U");
            clock_.Sleep(500);
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
    if (!ok)
        display_.ShowMessage("Cannot Communicate with Telescope!", "Communication Error.",
                             MessageIcon::Error);
    return ok;
}

bool SerialLink::IdentifyLx200Family() {
    longFormat_.store(false);
    SendCommand("#:GZ#");
    clock_.Sleep(300);
    const std::string first = ReadReply();
    if (first.size() < 3) return false;
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
    clock_.Sleep(300);
    return ReadReply().size() > 3;
}

bool SerialLink::ProbeNexStarPosition() {
    // The NexStar "E" query: four hex digits, a comma, four hex digits, "#".
    clock_.Sleep(100);
    (void)ReadWaiting();
    SendCommand("E");
    clock_.Sleep(500);
    int tries = 0;
    while (port_.BytesWaiting() >= 0 && port_.BytesWaiting() < 9 && tries <= 200) {
        ++tries;
        clock_.Sleep(40);
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
    clock_.Sleep(500);
    connectedPort_.store(0);
    {
        auto exchange = Exchange();
        port_.Close();
    }
    display_.SetBusy(false);
    display_.SetConnected(false);
}

bool SerialLink::PortOpen() { return port_.IsOpen(); }

void SerialLink::SendCommand(std::string_view command) {
    auto exchange = Exchange();
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        lastCommand_ = std::string(command);
    }
    if (PortOpen()) {
        if (scopeType_.load() == ScopeType::ULTIMA) {
            std::string bytes(command);
            bytes += "\r\n";
            port_.Write(bytes);
        } else {
            port_.Write(command);
        }
    }
    AuditLog("Sent *>" + BracketedBytes(command) + "<*");
}

std::string SerialLink::ReadWaiting() {
    if (!PortOpen()) return {};
    const int waiting = port_.BytesWaiting();
    return waiting > 0 ? port_.Read(waiting) : std::string();
}

std::string SerialLink::ReadAvailable() {
    auto exchange = Exchange();
    std::string reply = ReadWaiting();
    if (!EndsWithHash(reply)) {
        clock_.Sleep(150);
        reply += ReadWaiting();
    }
    if (!EndsWithHash(reply)) {
        clock_.Sleep(50);
        reply += ReadWaiting();
    }
    if (scopeType_.load() == ScopeType::ETX494) {
        for (int pause : {150, 350, 750, 750}) {
            if (EndsWithHash(reply) || reply == "1") break;
            clock_.Sleep(pause);
            reply += ReadWaiting();
        }
    }
    AuditLog("Rcvd *>" + reply + "<*");
    return reply;
}

std::string SerialLink::PollRead(int maxTries, bool untilHashOnly) {
    if (connectedPort_.load() == 0) return {};
    auto exchange = Exchange();
    clock_.Sleep(20);
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
        if (tries > maxTries || port_.BytesWaiting() < 0) {
            text.clear();
            break;
        }
        if (!untilHashOnly && text.find("elow") != std::string::npos) break;
        clock_.Sleep(20);
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
