// corvane-cli propagate: positions and velocities of one object in the model frame.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "astro/Constants.h"
#include "cli/CliCommon.h"
#include "cli/Command.h"
#include "orbit/PropagationSlot.h"

namespace corvane::cli {
namespace {

constexpr double kMaxInstants = 1.0e6;

struct PropagateCommand {
    ObjectOptions object;
    FormatOptions format;
    std::string from, to, tsince;
    double step = 0.0;
    CLI::Option* stepOption = nullptr;

    // The instants as minutes from the epoch.
    void Instants(double epochJd, double& start, double& stop, double& stepMinutes) const {
        if (!tsince.empty()) {
            if (!from.empty() || !to.empty() || stepOption->count() > 0) {
                throw UsageError("give either --tsince START:STOP:STEP or --from, --to and --step");
            }
            double v[3];
            char tail = 0;
            if (std::sscanf(tsince.c_str(), "%lf:%lf:%lf%c", &v[0], &v[1], &v[2], &tail) != 3 ||
                !std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2])) {
                throw UsageError("--tsince wants START:STOP:STEP in minutes, got \"" + tsince + "\"");
            }
            start = v[0];
            stop = v[1];
            stepMinutes = v[2];
        } else {
            if (from.empty() || to.empty() || stepOption->count() == 0) {
                throw UsageError("give --tsince START:STOP:STEP or all of --from, --to and --step");
            }
            const auto a = ParseInstant(from);
            const auto b = ParseInstant(to);
            if (!a)
                throw UsageError("--from wants an ISO 8601 UTC time or a Julian date, got \"" + from + "\"");
            if (!b) throw UsageError("--to wants an ISO 8601 UTC time or a Julian date, got \"" + to + "\"");
            if (!std::isfinite(step)) throw UsageError("--step wants seconds");
            start = (*a - epochJd) * kMinutesPerDay;
            stop = (*b - epochJd) * kMinutesPerDay;
            stepMinutes = step / 60.0;
        }
        if (!(stepMinutes > 0.0)) throw UsageError("the step must be greater than 0");
        if (stop < start) throw UsageError("the end comes before the start");
        if ((stop - start) / stepMinutes + 1.0 > kMaxInstants) {
            throw UsageError("more than a million instants; use a larger step");
        }
    }

    int Run() {
        const OutputFormat fmt = ResolveFormat(format);
        const SelectedObject selected = SelectObject(object);
        PropagationSlot slot(kSlotBatch);
        ConvertElementSet(*selected.catalogue, selected.index, slot);
        const ElementSet& e = slot.Elements();
        const std::string label = std::to_string(CatalogueNumber(*selected.catalogue, selected.index)) + " " +
                                  ObjectName(*selected.catalogue, selected.index);
        if (e.error != PropagationError::kNone) throw DataError(label + ": " + PropagationErrorText(e.error));
        double start = 0, stop = 0, stepMinutes = 0;
        Instants(e.epochJd, start, stop, stepMinutes);

        const long long count = static_cast<long long>(std::floor((stop - start) / stepMinutes + 1e-9)) + 1;
        nlohmann::ordered_json rows = nlohmann::ordered_json::array();
        std::string out;
        char buf[256];
        for (long long k = 0; k < count; ++k) {
            const double t = start + static_cast<double>(k) * stepMinutes;
            slot.Convert(selected.catalogue->NameLine(selected.index),
                         selected.catalogue->Line1(selected.index),
                         selected.catalogue->Line2(selected.index));
            PropagationResult r = slot.PropagateMinutes(t);
            if (r.Ok()) ConvertState(r);
            if (fmt == OutputFormat::kJson) {
                if (r.Ok()) {
                    rows.push_back({{"tsince", t},
                                    {"jd", e.epochJd + t / kMinutesPerDay},
                                    {"x", r.position.x},
                                    {"y", r.position.y},
                                    {"z", r.position.z},
                                    {"vx", r.velocity.x},
                                    {"vy", r.velocity.y},
                                    {"vz", r.velocity.z}});
                } else {
                    rows.push_back({{"tsince", t}, {"error", PropagationErrorText(r.error)}});
                }
            } else if (r.Ok()) {
                std::snprintf(buf, sizeof buf, "%17.8f %17.8f %17.8f %17.8f %13.9f %13.9f %13.9f\n", t,
                              r.position.x, r.position.y, r.position.z, r.velocity.x, r.velocity.y,
                              r.velocity.z);
                out += buf;
            } else {
                std::snprintf(buf, sizeof buf, "%17.8f error: %s\n", t, PropagationErrorText(r.error));
                out += buf;
            }
        }
        if (fmt == OutputFormat::kJson) {
            std::cout << rows.dump(1) << "\n";
        } else {
            std::fwrite(out.data(), 1, out.size(), stdout);
        }
        return kExitOk;
    }
};

const CommandRegistrar registrar(
    "propagate",
    "Position (km) and velocity (km/s) of one object in the model frame, one line per instant: minutes since "
    "epoch, x y z, xdot ydot zdot",
    [](CLI::App& app) -> CommandRunner {
        auto cmd = std::make_shared<PropagateCommand>();
        AddObjectOptions(app, cmd->object);
        app.add_option("--from", cmd->from, "First instant, ISO 8601 UTC (or a Julian date)");
        app.add_option("--to", cmd->to, "Last instant, ISO 8601 UTC (or a Julian date)");
        cmd->stepOption = app.add_option("--step", cmd->step, "Step in seconds");
        app.add_option("--tsince", cmd->tsince, "START:STOP:STEP in minutes since the epoch");
        AddFormatOption(app, cmd->format);
        return [cmd] { return cmd->Run(); };
    });

}  // namespace
}  // namespace corvane::cli
