// Percent, speed and time left of a long write or read, drawn on a terminal now and then.
#include "progress_meter.h"

#include <unistd.h>

namespace publisher {

namespace {

// Work that ends sooner shows no meter at all.
constexpr std::chrono::milliseconds kQuietStart{700};
constexpr std::chrono::milliseconds kRedraw{200};

}  // namespace

std::string FormatDuration(double seconds) {
    char text[32];
    if (seconds < 10) {
        std::snprintf(text, sizeof text, "%.2f s", seconds);
    } else if (seconds < 60) {
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    } else {
        long whole = long(seconds + 0.5);
        std::snprintf(text, sizeof text, "%ld min %ld s", whole / 60, whole % 60);
    }
    return text;
}

ProgressMeter::ProgressMeter(std::FILE* out, std::string what, std::uint64_t total, bool enabled)
    : out_(out),
      what_(std::move(what)),
      total_(total),
      active_(enabled && total > 0 && isatty(fileno(out))),
      started_(Clock::now()),
      lastDrawn_(started_) {}

ProgressMeter::~ProgressMeter() {
    if (drawn_) {
        std::fputs("\r\033[K", out_);
        std::fflush(out_);
    }
}

void ProgressMeter::Update(std::uint64_t done) {
    if (!active_) return;
    Clock::time_point now = Clock::now();
    if (now - started_ < kQuietStart || now - lastDrawn_ < kRedraw) return;
    lastDrawn_ = now;
    double seconds = std::chrono::duration<double>(now - started_).count();
    double rate = seconds > 0 ? double(done) / seconds : 0;
    double left = rate > 0 && total_ > done ? double(total_ - done) / rate : 0;
    std::fprintf(out_, "\r\033[K%s: %3d%%  %.1f MB/s  %s left", what_.c_str(),
                 int(done * 100 / total_), rate / 1e6, FormatDuration(left).c_str());
    std::fflush(out_);
    drawn_ = true;
}

}  // namespace publisher
