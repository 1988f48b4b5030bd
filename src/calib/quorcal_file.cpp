// Calibration files.
//
// File format, version 1: text, one record per line, fields separated by blanks. Blank lines
// and lines starting with '#' are ignored, a CR before the LF is accepted. Doubles and floats
// are written in their shortest form that reads back bit-identical ("0.1", "-0", "1e-300");
// NaN is written "nan" and reads back as a quiet NaN of the same sign (its payload is not kept).
//
//   quorcal-calibration 1          format name and version: the first line
//   fieldSize 110                  the lens: either all of these lines, each once, or none
//   areaSize 110
//   resolution 65535
//   center 32768
//   libExtent 1073741824
//   boxFlags 0 1 0                 exchangeXY invertX invertY
//   offset 0 0
//   angle 0
//   rotCenter 0 0
//   boxCoef 1 1 1 1 1 1 100 100
//   tableEnable 1
//   tableCount 21
//   table 0 -50 0 50               record slot 0..5, then its values up to the last set one
//   use9Point 0
//   calFlags 0 0 0                 flags of the nine-point block
//   gridPitch 40
//   gridPoint 0 -40.1 -39.9        index 0..8, x, y
//   equal 3 2                      equal-spacing set: selector, count, then count lines "x y"
//   -10 -10
//   10 10
//   grid 0 2                       calibration grid: selector, side n, then n * n lines
//   -10 -10 -10.02 -9.98           nominalX nominalY measuredX measuredY
//   end                            required: a file without it counts as truncated
//
// The lines of the lens may come in any order. A file is read whole and accepted whole; anything
// unknown, repeated, missing or out of range rejects it. Writes go to a temporary file in the
// same directory, renamed over the target, so a crash leaves either the old file or the new one.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "calib/quorcal.h"

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace {

constexpr std::string_view kMagic = "quorcal-calibration";
constexpr std::string_view kVersion = "1";

// Serialises read-modify-write cycles of this process, so concurrent setters keep each other's sets.
std::mutex g_writeMutex;

struct Grid {
    int n = 0;
    std::vector<tagCalData> points;
};

struct CalibFile {
    bool hasLens = false;
    tagLenPar lens;
    std::map<int, std::vector<tagVosPointF>> equal;
    std::map<int, Grid> grids;
};

// --- numbers -----------------------------------------------------------------------------

template <typename T>
bool parse(std::string_view text, T& out) {
    T value{};
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    if (r.ec != std::errc() || r.ptr != end) return false;
    out = value;
    return true;
}

template <typename T>
void put(std::string& out, T value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

// --- lens lines ----------------------------------------------------------------------------

// One stored number of the record: an int or a double.
struct Number {
    int32_t* i;
    double* d;
};

// A lens line: its key (one or two words) and numbers. A table line may stop early; the values
// it leaves out are unset (NaN).
struct LensLine {
    std::string key;
    std::vector<Number> numbers;
    bool table = false;
};

std::vector<Number> ints(std::initializer_list<int32_t*> members) {
    std::vector<Number> out;
    for (int32_t* m : members) out.push_back({m, nullptr});
    return out;
}

std::vector<Number> doubles(std::initializer_list<double*> members) {
    std::vector<Number> out;
    for (double* m : members) out.push_back({nullptr, m});
    return out;
}

std::vector<Number> doubles(double* array, int count) {
    std::vector<Number> out;
    for (int k = 0; k < count; ++k) out.push_back({nullptr, array + k});
    return out;
}

// The lens lines of r in file order.
std::vector<LensLine> lensLines(tagLenPar& r) {
    std::vector<LensLine> lines = {
        {"fieldSize", doubles({&r.fieldSize})},
        {"areaSize", doubles({&r.areaSize})},
        {"resolution", ints({&r.resolution})},
        {"center", ints({&r.center})},
        {"libExtent", doubles({&r.libExtent})},
        {"boxFlags", ints({&r.exchangeXY, &r.invertX, &r.invertY})},
        {"offset", doubles({&r.offsetX, &r.offsetY})},
        {"angle", doubles({&r.angle})},
        {"rotCenter", doubles({&r.rotCenterX, &r.rotCenterY})},
        {"boxCoef", doubles(r.boxCoef, 8)},
        {"tableEnable", ints({&r.tableEnable})},
        {"tableCount", ints({&r.tableCount})},
    };
    for (int slot = 0; slot < 6; ++slot) {
        lines.push_back({"table " + std::to_string(slot), doubles(r.tables[slot], quorcal::kTableLen), true});
    }
    lines.push_back({"use9Point", ints({&r.use9Point})});
    lines.push_back({"calFlags", ints({&r.calPar.exchangeXY, &r.calPar.invertX, &r.calPar.invertY})});
    lines.push_back({"gridPitch", doubles({&r.calPar.gridPitch})});
    for (int i = 0; i < 9; ++i) {
        Point2dConcept<double>& p = r.calPar.gridPoints[i];
        lines.push_back({"gridPoint " + std::to_string(i), doubles({&p.x, &p.y})});
    }
    return lines;
}

// --- reading -------------------------------------------------------------------------------

using Tokens = std::vector<std::string_view>;

// Hands out the meaningful lines of a text, split into tokens.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    bool next(Tokens& tokens) {
        while (m_pos < m_text.size()) {
            size_t end = m_text.find('\n', m_pos);
            if (end == std::string_view::npos) end = m_text.size();
            std::string_view line = m_text.substr(m_pos, end - m_pos);
            m_pos = end + 1;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            split(line, tokens);
            if (!tokens.empty() && tokens[0][0] != '#') return true;
        }
        return false;
    }

private:
    static void split(std::string_view line, Tokens& tokens) {
        tokens.clear();
        size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
            const size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
            if (i > start) tokens.push_back(line.substr(start, i - start));
        }
    }

    std::string_view m_text;
    size_t m_pos = 0;
};

// How many leading tokens of t spell key, or 0.
size_t keyWords(const std::string& key, const Tokens& t) {
    const size_t space = key.find(' ');
    if (space == std::string::npos) return t[0] == key ? 1 : 0;
    const bool same = t.size() >= 2 && t[0] == std::string_view(key).substr(0, space) &&
                      t[1] == std::string_view(key).substr(space + 1);
    return same ? 2 : 0;
}

// One lens line into its members; seen guards against repeats. False for anything else.
bool parseLensLine(const Tokens& t, std::vector<LensLine>& lines, std::vector<bool>& seen) {
    for (size_t n = 0; n < lines.size(); ++n) {
        const size_t words = keyWords(lines[n].key, t);
        if (words == 0) continue;
        const LensLine& line = lines[n];
        const size_t given = t.size() - words;
        if (seen[n] || given > line.numbers.size() || (!line.table && given < line.numbers.size())) return false;
        seen[n] = true;
        for (size_t k = 0; k < line.numbers.size(); ++k) {
            const Number& num = line.numbers[k];
            if (k >= given) {
                *num.d = std::numeric_limits<double>::quiet_NaN();
            } else if (num.i != nullptr ? !parse(t[words + k], *num.i) : !parse(t[words + k], *num.d)) {
                return false;
            }
        }
        return true;
    }
    return false;
}

// Reads one line of exactly `width` floats.
bool parseFloatRow(LineReader& lines, int width, float* row) {
    Tokens t;
    if (!lines.next(t) || static_cast<int>(t.size()) != width) return false;
    for (int k = 0; k < width; ++k) {
        if (!parse(t[k], row[k])) return false;
    }
    return true;
}

// A block header "<kind> <selector> <size>" with 0 <= size <= limit.
bool parseBlockHeader(const Tokens& t, int limit, int& selector, int& size) {
    return t.size() == 3 && parse(t[1], selector) && parse(t[2], size) && size >= 0 && size <= limit;
}

bool parseText(std::string_view text, CalibFile& file) {
    LineReader lines(text);
    Tokens t;
    if (!lines.next(t) || t.size() != 2 || t[0] != kMagic || t[1] != kVersion) return false;

    std::vector<LensLine> lens = lensLines(file.lens);
    std::vector<bool> seen(lens.size());
    size_t lensCount = 0;
    while (lines.next(t)) {
        int selector = 0;
        int size = 0;
        if (t[0] == "end") {
            if (t.size() != 1 || lines.next(t)) return false;
            // A lens is all or nothing.
            if (lensCount != 0 && lensCount != lens.size()) return false;
            file.hasLens = lensCount != 0;
            return true;
        }
        if (t[0] == "equal") {
            if (!parseBlockHeader(t, quorcal::kMaxEqualPnts, selector, size)) return false;
            if (file.equal.count(selector) != 0) return false;
            std::vector<tagVosPointF> points(static_cast<size_t>(size));
            for (tagVosPointF& p : points) {
                float row[2];
                if (!parseFloatRow(lines, 2, row)) return false;
                p = {row[0], row[1]};
            }
            file.equal.emplace(selector, std::move(points));
        } else if (t[0] == "grid") {
            if (!parseBlockHeader(t, quorcal::kMaxGridSize, selector, size)) return false;
            if (file.grids.count(selector) != 0) return false;
            Grid grid{size, std::vector<tagCalData>(static_cast<size_t>(size) * size)};
            for (tagCalData& p : grid.points) {
                float row[4];
                if (!parseFloatRow(lines, 4, row)) return false;
                p = {row[0], row[1], row[2], row[3]};
            }
            file.grids.emplace(selector, std::move(grid));
        } else {
            if (!parseLensLine(t, lens, seen)) return false;
            ++lensCount;
        }
    }
    return false;  // no end line
}

enum class ReadResult { ok, missing, failed };

ReadResult readFile(const char* path, CalibFile& file) {
    errno = 0;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return errno == ENOENT ? ReadResult::missing : ReadResult::failed;
    std::string text;
    char buf[65536];
    size_t got = 0;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, got);
    const bool readOk = std::ferror(f) == 0;
    std::fclose(f);
    return readOk && parseText(text, file) ? ReadResult::ok : ReadResult::failed;
}

// --- writing -------------------------------------------------------------------------------

// Writes the lens of r; const_cast only to share the member list with the reader.
void putLens(std::string& out, const tagLenPar& rec) {
    for (const LensLine& line : lensLines(const_cast<tagLenPar&>(rec))) {
        size_t used = line.numbers.size();
        // Trailing unset table values are implied.
        while (line.table && used > 0 && std::isnan(*line.numbers[used - 1].d)) --used;
        out += line.key;
        for (size_t k = 0; k < used; ++k) {
            out += ' ';
            if (line.numbers[k].i != nullptr) {
                put(out, *line.numbers[k].i);
            } else {
                put(out, *line.numbers[k].d);
            }
        }
        out += '\n';
    }
}

void putFloats(std::string& out, std::initializer_list<float> values) {
    const char* gap = "";
    for (float v : values) {
        out += gap;
        put(out, v);
        gap = " ";
    }
    out += '\n';
}

std::string format(const CalibFile& file) {
    std::string out;
    out.append(kMagic).append(" ").append(kVersion).append("\n");
    if (file.hasLens) {
        putLens(out, file.lens);
    }
    for (const auto& [selector, points] : file.equal) {
        out += "equal ";
        put(out, selector);
        out += ' ';
        put(out, points.size());
        out += '\n';
        for (const tagVosPointF& p : points) putFloats(out, {p.x, p.y});
    }
    for (const auto& [selector, grid] : file.grids) {
        out += "grid ";
        put(out, selector);
        out += ' ';
        put(out, grid.n);
        out += '\n';
        for (const tagCalData& p : grid.points) putFloats(out, {p.nominalX, p.nominalY, p.measuredX, p.measuredY});
    }
    out += "end\n";
    return out;
}

bool writeAtomically(const char* path, const std::string& text) {
    static std::atomic<unsigned> counter{0};
    const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string temp =
            std::string(path) + ".tmp" + std::to_string(ticks % 1000000007ULL) + "-" + std::to_string(counter++);
        // "x": never take over a file someone else is writing.
        std::FILE* f = std::fopen(temp.c_str(), "wbx");
        if (f == nullptr) {
            if (errno == EEXIST) continue;
            return false;
        }
        bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
        ok = std::fflush(f) == 0 && ok;
#if defined(__unix__) || defined(__APPLE__)
        ok = ::fsync(::fileno(f)) == 0 && ok;  // the data is on disk before the name points at it
#endif
        ok = std::fclose(f) == 0 && ok;
        std::error_code ec;
        if (ok) std::filesystem::rename(temp, path, ec);
        if (!ok || ec) {
            std::remove(temp.c_str());
            return false;
        }
        return true;
    }
    return false;
}

// Reads the file (a missing one counts as empty), lets change edit it, writes it back.
template <typename Change>
bool update(const char* path, Change change) {
    const std::lock_guard<std::mutex> lock(g_writeMutex);
    CalibFile file;
    if (readFile(path, file) == ReadResult::failed) return false;
    change(file);
    return writeAtomically(path, format(file));
}

bool noPath(const char* path) { return path == nullptr || *path == '\0'; }

}  // namespace

bool QuorCal::loadUcf(const char* path, tagLenPar& rec) const {
    if (noPath(path)) return false;
    CalibFile file;
    file.lens = rec;  // keeps the members the file does not hold
    if (readFile(path, file) != ReadResult::ok || !file.hasLens) return false;
    rec = file.lens;
    return true;
}

bool QuorCal::saveUcf(const char* path, const tagLenPar& rec) const {
    if (noPath(path)) return false;
    return update(path, [&rec](CalibFile& file) {
        file.hasLens = true;
        file.lens = rec;
    });
}

bool QuorCal::getBasePara(const char* path, double& fieldSize, double& areaSize, int& resolution) const {
    if (noPath(path)) return false;
    CalibFile file;
    if (readFile(path, file) != ReadResult::ok || !file.hasLens) return false;
    fieldSize = file.lens.fieldSize;
    areaSize = file.lens.areaSize;
    resolution = file.lens.resolution;
    return true;
}

bool QuorCal::getEqualPnts(const char* path, int selector, int& count, tagVosPointF* buffer) const {
    if (noPath(path) || count < 0 || (buffer == nullptr && count > 0)) return false;
    CalibFile file;
    if (readFile(path, file) != ReadResult::ok) return false;
    const auto found = file.equal.find(selector);
    if (found == file.equal.end()) return false;
    const std::vector<tagVosPointF>& points = found->second;
    const bool fits = points.size() <= static_cast<size_t>(count);
    count = static_cast<int>(points.size());
    if (!fits) return false;
    std::copy(points.begin(), points.end(), buffer);
    return true;
}

bool QuorCal::setEqualPnts(const char* path, int selector, int count, const tagVosPointF* buffer) const {
    if (noPath(path) || count < 0 || count > quorcal::kMaxEqualPnts || (buffer == nullptr && count > 0)) {
        return false;
    }
    return update(path,
                  [&](CalibFile& file) { file.equal[selector] = std::vector<tagVosPointF>(buffer, buffer + count); });
}

bool QuorCal::getCalibPnts(const char* path, int selector, int& n, tagCalData* buffer) const {
    if (noPath(path) || n < 0 || (buffer == nullptr && n > 0)) return false;
    CalibFile file;
    if (readFile(path, file) != ReadResult::ok) return false;
    const auto found = file.grids.find(selector);
    if (found == file.grids.end()) return false;
    const Grid& grid = found->second;
    const bool same = grid.n == n;
    n = grid.n;
    if (!same) return false;
    std::copy(grid.points.begin(), grid.points.end(), buffer);
    return true;
}

bool QuorCal::setCalibPnts(const char* path, int selector, int n, const tagCalData* buffer) const {
    if (noPath(path) || n < 0 || n > quorcal::kMaxGridSize || (buffer == nullptr && n > 0)) return false;
    return update(path, [&](CalibFile& file) {
        file.grids[selector] = Grid{n, std::vector<tagCalData>(buffer, buffer + static_cast<size_t>(n) * n)};
    });
}
