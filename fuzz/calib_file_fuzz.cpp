// The calibration file reader fed arbitrary files. The loaders take paths, so each input is
// written to a scratch file first. A file that loads is also mapped through (loaded lenses
// must not break the calibrated mapping) and written back: saving what was read and reading
// it again must give the same file.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "calib/quorcal.h"
#include "executor/calib/calib_func.h"

namespace {

std::string scratchDir() {
    const char* dir = std::getenv("TMPDIR");
    if (access("/dev/shm", W_OK) == 0) return "/dev/shm";
    return dir != nullptr ? dir : "/tmp";
}

// Unique per process, so parallel fuzzing jobs do not share files.
const std::string& scratch(int which) {
    static const std::string base = scratchDir() + "/calib-fuzz-" + std::to_string(getpid());
    static const std::string paths[3] = {base + "-in", base + "-save1", base + "-save2"};
    return paths[which];
}

bool writeFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

std::string readFile(const std::string& path) {
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        size_t got = 0;
        while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, got);
        std::fclose(f);
    }
    return text;
}

void mapThrough(GalvoParam galvo) {
    const RedlightParam red;
    for (bool nine : {false, true}) {
        galvo.use9Point = nine;
        for (MarkType type : {MarkType(0), MarkType(MARK_TYPE_LINEAR)}) {
            for (Point2dConcept<double> p : {Point2dConcept<double>{0, 0}, {25, -25}, {-1e6, 1e6}}) {
                Point2dConcept<int> dev;
                CalibFunc::LP2DPEX(type, p, dev, galvo, red, false, nullptr);
            }
        }
    }
}

// Saved from what was loaded, the file reads back to the same saved form.
void roundTrip(const char* in) {
    tagLenPar rec;
    if (!quorcal::quorCal().loadUcf(in, rec)) return;
    std::remove(scratch(1).c_str());
    std::remove(scratch(2).c_str());
    if (!quorcal::quorCal().saveUcf(scratch(1).c_str(), rec)) std::abort();
    tagLenPar again;
    if (!quorcal::quorCal().loadUcf(scratch(1).c_str(), again)) std::abort();
    if (!quorcal::quorCal().saveUcf(scratch(2).c_str(), again)) std::abort();
    if (readFile(scratch(1)) != readFile(scratch(2))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = scratch(0);
    if (!writeFile(path, data, size)) return 0;

    GalvoParam galvo;
    if (CalibFunc::loadUcf(path.c_str(), galvo)) mapThrough(galvo);
    double fieldSize = 0;
    double areaSize = 0;
    int resolution = 0;
    CalibFunc::getBasePara(path.c_str(), fieldSize, areaSize, resolution);
    for (int selector : {0, 1, -1}) {
        std::vector<Point2dConcept<double>> points;
        CalibFunc::getEqualPnts(path.c_str(), selector, points);
        int n = 0;
        std::vector<CalData> grid;
        if (!CalibFunc::getCalibPnts(path.c_str(), selector, n, grid) && n > 0) {
            CalibFunc::getCalibPnts(path.c_str(), selector, n, grid);
        }
    }
    roundTrip(path.c_str());
    return 0;
}
