// executor-cli end to end: the built program run as a user runs it, on the simulated board in
// process and on an executor-sim over UDP.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "support/cli_process.h"

namespace {

const std::string kData = EXECUTOR_TEST_DATA;
constexpr double kUnitsPerMm = 655.35;  // 16-bit resolution over the default 100 mm field
constexpr double kFieldCentre = 32768;  // device units of the field centre

std::string temporary(const std::string& name) {
    return ::testing::TempDir() + "cli-" + std::to_string(getpid()) + "-" + name;
}

// A loopback port that nothing listens on: bound by the system, then let go.
uint16_t closedPort() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// "udp://127.0.0.1:PORT" of a started executor-sim.
std::string boardAddress(SimProcess& server) {
    const uint16_t port = server.listeningPort();
    EXPECT_NE(port, 0);
    return "udp://127.0.0.1:" + std::to_string(port);
}

struct Segment {
    int x0, y0, x1, y1;
};

// The marks of a trace in JSON, in device units.
std::vector<Segment> marksOf(const std::string& json) {
    std::vector<Segment> marks;
    const std::regex mark(R"re("kind":"mark".*?"from":\[(-?\d+),(-?\d+)\],"to":\[(-?\d+),(-?\d+)\])re");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), mark); it != std::sregex_iterator(); ++it)
        marks.push_back({std::stoi((*it)[1]), std::stoi((*it)[2]), std::stoi((*it)[3]), std::stoi((*it)[4])});
    return marks;
}

// cli_square.svg is a 20 mm square: every mark lies on the sides of a 20 mm box centred at
// (centreX, centreY) mm, within one device unit.
void expectTwentyMillimetreSquare(const std::vector<Segment>& marks, double centreX = 0, double centreY = 0) {
    ASSERT_GE(marks.size(), 4u);
    int left = INT_MAX, right = INT_MIN, bottom = INT_MAX, top = INT_MIN;
    for (const Segment& s : marks) {
        left = std::min({left, s.x0, s.x1});
        right = std::max({right, s.x0, s.x1});
        bottom = std::min({bottom, s.y0, s.y1});
        top = std::max({top, s.y0, s.y1});
    }
    EXPECT_NEAR(right - left, 20 * kUnitsPerMm, 1);
    EXPECT_NEAR(top - bottom, 20 * kUnitsPerMm, 1);
    EXPECT_NEAR((left + right) / 2.0, kFieldCentre + centreX * kUnitsPerMm, 1);
    EXPECT_NEAR((bottom + top) / 2.0, kFieldCentre + centreY * kUnitsPerMm, 1);
    auto onSide = [&](int x, int y) {
        return std::abs(x - left) <= 1 || std::abs(x - right) <= 1 || std::abs(y - bottom) <= 1 ||
               std::abs(y - top) <= 1;
    };
    for (const Segment& s : marks) EXPECT_TRUE(onSide(s.x0, s.y0) && onSide(s.x1, s.y1));
}

// One line on standard error: "executor-cli: <subject>: ...".
void expectOneLineAbout(const CliRun& run, const std::string& subject) {
    EXPECT_EQ(run.err.rfind("executor-cli: " + subject + ": ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

}  // namespace

TEST(Cli, BadInputsGiveOneClearLineAndTheirOwnExitStatus) {
    const std::string unreachable = "udp://127.0.0.1:" + std::to_string(closedPort());
    const std::string missing = kData + "/cli_no_such_file.svg";
    // Outputs that must not be replaced: a planted link, a read-only file, a device.
    const std::string link = temporary("link.svg"), readOnly = temporary("read-only.svg");
    const std::string huge = temporary("huge.json");  // sparse: refused by its size, never read
    ASSERT_EQ(symlink(missing.c_str(), link.c_str()), 0);
    for (const std::string& file : {readOnly, huge}) std::fclose(std::fopen(file.c_str(), "w"));
    chmod(readOnly.c_str(), 0444);
    std::filesystem::resize_file(huge, 70u << 20);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string subject;
    } cases[] = {
        {{"mark", missing}, 3, missing},
        {{"mark", kData + "/cli_broken.svg"}, 3, kData + "/cli_broken.svg"},
        {{"mark", kData + "/cli_unknown_pen.json"}, 3, kData + "/cli_unknown_pen.json"},
        {{"calib", "show", kData + "/cli_square.svg"}, 3, kData + "/cli_square.svg"},
        {{"mark", kData + "/cli_square.svg", "--calib", kData + "/cli_bad_lens.cal"}, 3, kData + "/cli_bad_lens.cal"},
        {{"status", "--board", unreachable, "--timeout", "50", "--retries", "0"}, 4, unreachable},
        {{"probe", "--board", "usb"}, 2, "usb"},
        {{"probe", "--board", "udp://127.0.0.1:65536"}, 2, "udp://127.0.0.1:65536"},
        {{"mark", kData + "/cli_square.svg", "--offset", "5, 0"}, 2, ""},
        {{"eeprom", "write", "--board", "sim7"}, 2, ""},
        {{"mark", kData + "/cli_square.svg", "--power", "150"}, 2, ""},
        {{"mark", kData + "/cli_square.svg", "--fit", "--scale", "2"}, 2, ""},
        {{"frobnicate"}, 2, ""},
        {{"mark", huge}, 3, huge},
        {{"demo", "--out", link}, 6, link},
        {{"demo", "--out", readOnly}, 6, readOnly},
        {{"mark", kData + "/cli_square.svg", "--trace", "/dev/full"}, 6, "/dev/full"},
    };
    for (const Case& c : cases) {
        const CliRun run = cli(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << " " << run.err;
        if (!c.subject.empty()) expectOneLineAbout(run, c.subject);
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_EQ(readFile(readOnly), "");
    std::remove(link.c_str());
    std::remove(huge.c_str());
    std::remove(readOnly.c_str());
}

TEST(Cli, DemoMarksWhatItPlannedOnBothSimulatedBoards) {
    for (const char* board : {"sim7", "sim5"}) {
        const std::string svg = temporary("demo.svg"), json = temporary("demo.json");
        const CliRun run = cli({"demo", "--board", board, "--out", svg, "--json", json});
        ASSERT_EQ(run.status, 0) << run.err;
        std::smatch plan, done;
        ASSERT_TRUE(std::regex_search(run.out, plan, std::regex(R"(plan: \d+ segments \((\d+) marks, (\d+) jumps\))")))
            << run.out;
        ASSERT_TRUE(std::regex_search(run.out, done, std::regex(R"((\d+) marks, (\d+) jumps, .*board errors: 0)")))
            << run.out;
        EXPECT_GT(std::stoi(plan[1]), 100);  // the circle alone has 180 sides
        EXPECT_EQ(plan[1], done[1]) << board;
        EXPECT_EQ(plan[2], done[2]) << board;
        EXPECT_EQ(marksOf(readFile(json)).size(), std::stoul(plan[1]));
        EXPECT_EQ(readFile(svg).rfind("<svg", 0), 0u);
        std::remove(svg.c_str());
        std::remove(json.c_str());
    }
}

TEST(Cli, MarkedSquareMatchesTheDrawingStreamedOrDownloaded) {
    struct Case {
        std::vector<std::string> extra;
        double centre;  // mm, on both axes
    };
    // SVG drawings land centred on the field; as-is keeps the page's corner at the field centre.
    for (const Case& c : {Case{{}, 0}, Case{{"--offline"}, 0}, Case{{"--place", "as-is"}, 20}}) {
        const std::string json = temporary("square.json");
        std::vector<std::string> args = {"mark", kData + "/cli_square.svg", "--board", "sim5", "--trace-json", json};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const CliRun run = cli(args);
        ASSERT_EQ(run.status, 0) << run.err;
        expectTwentyMillimetreSquare(marksOf(readFile(json)), c.centre, c.centre);
        std::remove(json.c_str());
    }
}

// Nothing beyond the field reaches the board: fitted, the square turned 45 degrees touches the
// middle of each field edge; moved 45 mm right, its right side is refused, or cut off with clip
// instead of being marked along the edge.
TEST(Cli, DrawingsBeyondTheFieldAreFittedRefusedOrClipped) {
    const std::string square = kData + "/cli_square.svg", json = temporary("outside.json");
    CliRun run = cli({"mark", square, "--rotate", "45", "--fit", "--board", "sim7", "--trace-json", json});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::vector<Segment> diamond = marksOf(readFile(json));
    ASSERT_EQ(diamond.size(), 4u);
    for (const Segment& s : diamond)
        for (const auto& [x, y] : {std::pair{s.x0, s.y0}, std::pair{s.x1, s.y1}})
            EXPECT_NEAR(std::abs(x - kFieldCentre) + std::abs(y - kFieldCentre), 50 * kUnitsPerMm, 1);

    run = cli({"mark", square, "--offset", "45,0"});
    EXPECT_EQ(run.status, 3);
    expectOneLineAbout(run, square);
    EXPECT_NE(run.err.find("30.0 mm of 80.0 mm marked (37.5 %) lies beyond the 100 mm field"), std::string::npos);
    EXPECT_NE(run.err.find("use --fit"), std::string::npos);

    run = cli({"mark", square, "--offset", "45,0", "--outside", "clip", "--board", "sim7", "--trace-json", json});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("warning: clipped 30.0 mm"), std::string::npos) << run.err;
    double marked = 0;
    for (const Segment& s : marksOf(readFile(json))) {
        EXPECT_FALSE(s.x0 == 65535 && s.x1 == 65535) << "marked along the edge";
        marked += std::hypot(s.x1 - s.x0, s.y1 - s.y0) / kUnitsPerMm;
    }
    EXPECT_NEAR(marked, 50, 0.01);  // left side 20 mm, top and bottom 15 mm each
    std::remove(json.c_str());
}

TEST(Cli, PreviewDrawsThePlanWithoutTouchingABoard) {
    const std::string svg = temporary("preview.svg");
    const std::string unreachable = "udp://127.0.0.1:" + std::to_string(closedPort());
    const CliRun run =
        cli({"mark", kData + "/cli_square.svg", "--preview", svg, "--board", unreachable, "--power", "35"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string picture = readFile(svg);
    EXPECT_NE(picture.find("viewBox=\"-55 -55 "), std::string::npos);  // the 100 mm field and its margin
    EXPECT_NE(picture.find("power 35 %"), std::string::npos);          // the legend shows the pen as overridden
    std::remove(svg.c_str());
}

// Over UDP on executor-sim: the square lands as drawn, and user data written reads back.
TEST(Cli, MarksAndKeepsUserDataOverUdpOnExecutorSim) {
    const std::string json = temporary("udp.json"), copy = temporary("user.bin");
    SimProcess server({"--protocol", "5", "--json", json});
    const std::string board = boardAddress(server);
    const CliRun run = cli({"mark", kData + "/cli_square.svg", "--board", board});
    EXPECT_EQ(run.status, 0) << run.err;
    // status only looks: the board's counter still holds the job's checkpoint.
    const std::string status = cli({"status", "--board", board}).out;
    EXPECT_NE(status.find("job finished: yes, offline: no"), std::string::npos) << status;
    EXPECT_NE(status.find("marks counted: 1\n"), std::string::npos) << status;
    ASSERT_EQ(cli({"eeprom", "write", "--board", board, "--text", "SN 0042"}).status, 0);
    const CliRun text = cli({"eeprom", "read", "--board", board});
    EXPECT_EQ(text.out, "SN 0042\n") << text.err;
    EXPECT_EQ(cli({"eeprom", "read", "--board", board, "--out", copy}).status, 0);
    EXPECT_EQ(readFile(copy), "SN 0042");
    ASSERT_TRUE(server.stop());
    expectTwentyMillimetreSquare(marksOf(readFile(json)));
    std::remove(json.c_str());
    std::remove(copy.c_str());
}

TEST(Cli, CalibrationFileSavedIsShownAndLoaded) {
    const std::string file = temporary("lens.cal");
    ASSERT_EQ(cli({"calib", "save", file, "--field", "110", "--invert-y"}).status, 0);
    const CliRun shown = cli({"calib", "show", file});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("field: 110 mm"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("invert y: yes"), std::string::npos) << shown.out;
    EXPECT_EQ(cli({"calib", "load", file, "--board", "sim7"}).status, 0);
    std::remove(file.c_str());
}
