// Progress of a long write, on a terminal only: one line, redrawn, with the
// percentage, the speed and the time left. Silent everywhere else, and for
// work that ends within a moment.
#ifndef ONDRELLE_PUBLISHER_PROGRESS_METER_H
#define ONDRELLE_PUBLISHER_PROGRESS_METER_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace publisher {

class ProgressMeter {
public:
    // Draws on `out` only when it is a terminal and `enabled`.
    ProgressMeter(std::FILE* out, std::string what, std::uint64_t total, bool enabled);
    ~ProgressMeter();  // clears the line it drew

    void Update(std::uint64_t done);

private:
    using Clock = std::chrono::steady_clock;
    std::FILE* out_;
    std::string what_;
    std::uint64_t total_;
    bool active_;
    bool drawn_ = false;
    Clock::time_point started_;
    Clock::time_point lastDrawn_;
};

// "0.25 s", "12.5 s", "3 min 5 s".
std::string FormatDuration(double seconds);

}  // namespace publisher

#endif
