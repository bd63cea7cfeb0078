// The simulated LX200's hand-controller commands, as the published protocol gives them: the
// object library (":LM", ":LS", ":LC", ":LI#"), the FIND search (":Sy", ":Lo", ":Gq#", ":Sq#",
// ":Sh", ":Sl", ":Ss", ":Sb", ":Sf", ":LF#", ":LN#", ":LB#") over a small object table, and the
// four stored sites (":W1#"..":W4#", ":GM#"..":GP#", ":SM".."SP"). Choosing an object makes it
// the goto and sync target, as on the real hand controller. Everything told is kept for the
// session.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "sim/SimulatedMount.h"

namespace corvane {

namespace {

// 'M' Messier, 'N' NGC, 'I' IC, 'U' UGC, 'S' star, 'P' planet.
struct LibraryObject {
    char kind;
    int number;
    int ngc;      // the NGC number of a Messier object (0 none)
    char type;    // G P D C O for the FIND types, '*' star, 'p' planet
    int quality;  // 0 SU .. 6 VP
    double ra;    // hours, J2000
    double dec;   // degrees
    double mag;
    double size;  // arc-minutes
};

// Planets stand at fixed places here: the simulation needs somewhere to point, not an ephemeris.
constexpr LibraryObject kObjects[] = {
    {'M', 1, 1952, 'D', 2, 5.575, 22.01, 8.4, 6.0},    {'M', 13, 6205, 'C', 0, 16.695, 36.46, 5.8, 20.0},
    {'M', 27, 6853, 'P', 1, 19.993, 22.72, 7.4, 8.0},  {'M', 31, 224, 'G', 1, 0.712, 41.27, 3.4, 178.0},
    {'M', 42, 1976, 'D', 0, 5.588, -5.39, 4.0, 66.0},  {'M', 44, 2632, 'O', 2, 8.667, 19.98, 3.7, 95.0},
    {'M', 45, 0, 'O', 0, 3.783, 24.12, 1.6, 110.0},    {'M', 57, 6720, 'P', 2, 18.893, 33.03, 8.8, 1.4},
    {'M', 81, 3031, 'G', 0, 9.926, 69.07, 6.9, 26.0},  {'M', 101, 5457, 'G', 3, 14.053, 54.35, 7.9, 28.0},
    {'N', 869, 0, 'O', 0, 2.320, 57.13, 4.3, 30.0},    {'N', 891, 0, 'G', 3, 2.376, 42.35, 9.9, 13.0},
    {'N', 4565, 0, 'G', 2, 12.606, 25.99, 9.6, 16.0},  {'N', 6543, 0, 'P', 2, 17.977, 66.63, 8.1, 0.3},
    {'N', 7000, 0, 'D', 4, 20.980, 44.33, 4.0, 120.0}, {'N', 7293, 0, 'P', 3, 22.494, -20.84, 7.3, 16.0},
    {'I', 434, 0, 'D', 5, 5.680, -2.45, 7.3, 60.0},    {'I', 1396, 0, 'O', 4, 21.650, 57.50, 3.5, 170.0},
    {'I', 4665, 0, 'O', 3, 17.770, 5.72, 4.2, 41.0},   {'U', 5470, 0, 'G', 5, 10.140, 12.30, 9.8, 10.0},
    {'U', 10214, 0, 'G', 6, 16.100, 55.40, 14.4, 3.0}, {'S', 1, 0, '*', 0, 6.752, -16.72, -1.5, 0.0},
    {'S', 2, 0, '*', 0, 18.616, 38.78, 0.0, 0.0},      {'S', 3, 0, '*', 0, 14.261, 19.18, -0.1, 0.0},
    {'S', 4, 0, '*', 0, 5.278, 45.99, 0.1, 0.0},       {'S', 5, 0, '*', 0, 2.530, 89.26, 2.0, 0.0},
    {'P', 901, 0, 'p', 0, 14.20, -12.10, -0.4, 0.1},   {'P', 902, 0, 'p', 0, 16.50, -21.30, -4.2, 0.4},
    {'P', 903, 0, 'p', 0, 11.10, 6.20, -12.0, 31.0},   {'P', 904, 0, 'p', 0, 20.40, -20.00, 0.9, 0.1},
    {'P', 905, 0, 'p', 0, 4.60, 21.70, -2.4, 0.7},     {'P', 906, 0, 'p', 0, 23.60, -3.90, 0.8, 0.3},
    {'P', 907, 0, 'p', 0, 3.50, 19.00, 5.7, 0.1},      {'P', 908, 0, 'p', 0, 23.90, -2.00, 7.8, 0.1},
    {'P', 909, 0, 'p', 0, 20.20, -22.80, 14.4, 0.0},
};
constexpr int kObjectCount = static_cast<int>(sizeof kObjects / sizeof kObjects[0]);
constexpr const char* kPlanetNames[] = {"MERCURY", "VENUS",  "MOON",    "MARS", "JUPITER",
                                        "SATURN",  "URANUS", "NEPTUNE", "PLUTO"};
constexpr const char* kQualityCodes[] = {"SU", "EX", "VG", "GD", "FR", "PR", "VP"};

bool Starts(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::string AfterBlanks(const std::string& command) {
    size_t pos = 2;
    while (pos < command.size() && command[pos] == ' ') ++pos;
    return command.substr(pos);
}

// A whole number that fills the whole argument; nothing otherwise.
bool WholeNumber(const std::string& text, int low, int high, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

// "sMM.M" (sign optional).
bool Magnitude(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v) || v < -5.5 || v > 20.0) return false;
    value = v;
    return true;
}

// The FIND catalogue an object belongs to: 0 NGC (Messier objects by their NGC number), 1 IC,
// 2 UGC, -1 none.
int FindCatalog(const LibraryObject& o) {
    if (o.kind == 'N' || (o.kind == 'M' && o.ngc > 0)) return 0;
    if (o.kind == 'I') return 1;
    if (o.kind == 'U') return 2;
    return -1;
}

std::string FindLabel(const LibraryObject& o) {
    if (o.kind == 'M') return "NGC" + std::to_string(o.ngc);
    if (o.kind == 'I') return "IC" + std::to_string(o.number);
    if (o.kind == 'U') return "UGC" + std::to_string(o.number);
    return "NGC" + std::to_string(o.number);
}

const char* TypeWord(char type) {
    switch (type) {
        case 'G':
            return "GAL";
        case 'P':
            return "PLN";
        case 'D':
            return "DIF";
        case 'C':
            return "GLC";
        case 'O':
            return "OPC";
        case '*':
            return "STR";
        default:
            return "PLT";
    }
}

}  // namespace

bool SimulatedMount::ControlObjectPasses(int index, double utc) const {
    const LibraryObject& o = kObjects[index];
    if (FindCatalog(o) != control_.catalog) return false;
    const size_t t = std::string("GPDCO").find(o.type);
    if (t == std::string::npos || t >= control_.types.size() || control_.types[t] != o.type) return false;
    if (o.quality > control_.quality) return false;
    if (o.size < control_.larger || o.size > control_.smaller) return false;
    if (o.mag < control_.fainter || o.mag > control_.brighter) return false;
    double az = 0, alt = 0;
    sky_.AltAzOf(o.ra, o.dec, utc, az, alt);
    return alt >= control_.higher;
}

void SimulatedMount::ControlSelect(int index, std::string label) {
    control_.object = index;
    control_.objectLabel = std::move(label);
    if (index >= 0) {
        pendingRa_ = kObjects[index].ra;
        pendingDec_ = kObjects[index].dec;
    }
}

bool SimulatedMount::ExecuteControl(const std::string& command, double utc) {
    char text[96];
    // Sites.
    if (command.size() == 2 && command[0] == 'W' && command[1] >= '1' && command[1] <= '4') {
        const int entry = command[1] - '0';
        MountSite& current = control_.sites[control_.siteEntry - 1];
        current.latitude = sky_.Site().latitude;
        current.longitude = sky_.Site().longitude;
        control_.siteEntry = entry;
        sky_.Site().latitude = control_.sites[entry - 1].latitude;
        sky_.Site().longitude = control_.sites[entry - 1].longitude;
        CaptureHere(utc);
        return true;
    }
    if (command.size() == 2 && command[0] == 'G' && command[1] >= 'M' && command[1] <= 'P') {
        Reply(control_.names[command[1] - 'M'] + "#");
        return true;
    }
    if (command.size() >= 2 && command[0] == 'S' && command[1] >= 'M' && command[1] <= 'P') {
        const std::string name = AfterBlanks(command).substr(0, 15);
        if (!name.empty()) control_.names[command[1] - 'M'] = name;
        Reply(name.empty() ? "0" : "1");
        return true;
    }

    // FIND filters.
    if (Starts(command, "Sy")) {
        const std::string types = AfterBlanks(command);
        bool ok = types.size() == 5;
        for (size_t i = 0; ok && i < 5; ++i)
            ok = std::toupper(static_cast<unsigned char>(types[i])) == "GPDCO"[i];
        if (ok) control_.types = types;
        Reply(ok ? "1" : "0");
        return true;
    }
    if (Starts(command, "Lo")) {
        int catalog = 0;
        const bool ok = WholeNumber(AfterBlanks(command), 0, 2, catalog);
        if (ok) control_.catalog = catalog;
        Reply(ok ? "1" : "0");
        return true;
    }
    if (command == "Gq") {
        Reply(std::string(kQualityCodes[control_.quality]) + "#");
        return true;
    }
    if (command == "Sq") {
        control_.quality = (control_.quality + 1) % 7;
        return true;
    }
    if (Starts(command, "Sh") || Starts(command, "Sl") || Starts(command, "Ss")) {
        int value = 0;
        const bool higher = command[1] == 'h';
        const bool ok = WholeNumber(AfterBlanks(command), 0, higher ? 90 : 200, value);
        if (ok) (higher ? control_.higher : command[1] == 'l' ? control_.larger : control_.smaller) = value;
        Reply(ok ? "1" : "0");
        return true;
    }
    if (Starts(command, "Sb") || Starts(command, "Sf")) {
        double value = 0;
        const bool ok = Magnitude(AfterBlanks(command), value);
        if (ok) (command[1] == 'b' ? control_.brighter : control_.fainter) = value;
        Reply(ok ? "1" : "0");
        return true;
    }
    if (command == "LF" || command == "LN" || command == "LB") {
        int found = -1;
        if (command == "LF") {
            for (int i = 0; i < kObjectCount && found < 0; ++i)
                if (ControlObjectPasses(i, utc)) found = i;
        } else if (control_.object >= 0) {
            const int step = command == "LN" ? 1 : -1;
            for (int i = control_.object + step; i >= 0 && i < kObjectCount && found < 0; i += step)
                if (ControlObjectPasses(i, utc)) found = i;
        }
        // At the end of the list the cursor stays where it was.
        if (found >= 0) {
            ControlSelect(found, FindLabel(kObjects[found]));
        } else if (command == "LF") {
            ControlSelect(-1, "");
        }
        return true;
    }

    // The library by number.
    if (Starts(command, "LM") || Starts(command, "LS") || Starts(command, "LC")) {
        int number = 0;
        if (!WholeNumber(AfterBlanks(command), 0, 9999, number)) return true;
        const char kind = command[1] == 'M'                ? 'M'
                          : command[1] == 'C'              ? 'N'
                          : number >= 901 && number <= 909 ? 'P'
                                                           : 'S';
        int found = -1;
        for (int i = 0; i < kObjectCount && found < 0; ++i) {
            const LibraryObject& o = kObjects[i];
            if ((o.kind == kind && o.number == number) || (kind == 'N' && o.kind == 'M' && o.ngc == number))
                found = i;
        }
        std::string label;
        if (found >= 0) {
            const LibraryObject& o = kObjects[found];
            if (kind == 'M') label = "M" + std::to_string(number);
            if (kind == 'N') label = "NGC" + std::to_string(number);
            if (kind == 'S') label = "STAR " + std::to_string(number);
            if (kind == 'P') label = kPlanetNames[o.number - 901];
        }
        ControlSelect(found, label);
        return true;
    }
    if (command == "LI") {
        if (control_.object < 0) {
            Reply("#");
            return true;
        }
        const LibraryObject& o = kObjects[control_.object];
        if (o.type == '*' || o.type == 'p') {
            std::snprintf(text, sizeof text, "%s %s MAG %.1f#", control_.objectLabel.c_str(),
                          TypeWord(o.type), o.mag);
        } else {
            std::snprintf(text, sizeof text, "%s %s %s MAG %.1f SZ%.1f'#", control_.objectLabel.c_str(),
                          kQualityCodes[o.quality], TypeWord(o.type), o.mag, o.size);
        }
        Reply(text);
        return true;
    }
    return false;
}

}  // namespace corvane
