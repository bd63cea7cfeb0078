#pragma once
// Reading the verification set of the 2006 revision of the model: tests/data/SGP4-VER.TLE
// (element sets; line 2 carries start, stop and step in minutes after column 69) and
// tests/data/tcppver.out (for each object "NNNNN xx", then minutes, x y z km, xdot ydot zdot km/s).
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "orbit/PropagationSlot.h"

namespace corvane::testing_support {

// The same error, position and velocity to the last bit.
inline bool SameBits(const PropagationResult& a, const PropagationResult& b) {
    return a.error == b.error && std::memcmp(&a.position, &b.position, sizeof a.position) == 0 &&
           std::memcmp(&a.velocity, &b.velocity, sizeof a.velocity) == 0;
}

struct VerificationRow {
    double t, x, y, z, vx, vy, vz;
};

struct VerificationCase {
    std::string line1, line2;
    long number = 0;
    double start = 0, stop = 0, step = 0;
    std::vector<VerificationRow> rows;
};

inline std::vector<VerificationCase> LoadVerificationSet(const std::string& dir) {
    std::vector<VerificationCase> cases;
    std::ifstream tle(dir + "/SGP4-VER.TLE");
    std::string line, line1;
    while (std::getline(tle, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("1 ", 0) == 0) {
            line1 = line;
        } else if (line.rfind("2 ", 0) == 0 && !line1.empty()) {
            VerificationCase c;
            c.line1 = line1;
            c.line2 = line.substr(0, 69);
            c.number = std::stol(line.substr(2, 5));
            std::istringstream extra(line.substr(69));
            extra >> c.start >> c.stop >> c.step;
            cases.push_back(c);
            line1.clear();
        }
    }
    std::ifstream out(dir + "/tcppver.out");
    int index = -1;
    while (std::getline(out, line)) {
        if (line.find("xx") != std::string::npos) {
            ++index;
            continue;
        }
        if (index < 0 || index >= static_cast<int>(cases.size())) continue;
        std::istringstream in(line);
        VerificationRow r;
        if (in >> r.t >> r.x >> r.y >> r.z >> r.vx >> r.vy >> r.vz)
            cases[static_cast<size_t>(index)].rows.push_back(r);
    }
    return cases;
}

}  // namespace corvane::testing_support
