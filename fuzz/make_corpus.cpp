// Writes the seed corpus of every fuzz target from real conversations with the simulated board
// and from files the library itself writes, so the seeds follow the layouts the code expects.
//   make_corpus <corpus dir>      (scripts/fuzz --make-corpus)

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "executor/calib/calib_func.h"
#include "executor/executor.h"
#include "executor/platform/logger.h"
#include "executor/platform/thread.h"
#include "executor/sim/sim_board.h"
#include "executor/sim/sim_transfer.h"
#include "fuzz/reply_operations.h"
#include "fuzz/reply_script.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void writeSeed(const fs::path& dir, const std::string& name, const Bytes& bytes) {
    fs::create_directories(dir);
    std::FILE* f = std::fopen((dir / name).c_str(), "wb");
    if (f == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

void writeText(const fs::path& dir, const std::string& name, const std::string& text) {
    writeSeed(dir, name, Bytes(text.begin(), text.end()));
}

// Passes everything to a simulated board and writes down what went over the link: the replies
// as reply chunks, or every request and frame as messages of the frame target.
class Recorder : public sim::SimTransfer {
public:
    using sim::SimTransfer::SimTransfer;

    Bytes replies;
    Bytes messages;

    bool ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                         bool flag) override {
        const bool ok = sim::SimTransfer::ReadAndWriteCmd(request, requestLen, reply, replyLen, flag);
        fuzz::appendChunk(replies, !ok, reply, *replyLen);
        addMessage(1, request, requestLen);
        return ok;
    }
    bool ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                          bool flag) override {
        const bool ok = sim::SimTransfer::ReadAndWriteData(frame, frameLen, reply, replyLen, flag);
        fuzz::appendChunk(replies, !ok, reply, *replyLen);
        addMessage(0, frame, frameLen);
        return ok;
    }
    void addMessage(uint8_t kind, const uint8_t* bytes, uint32_t length) {
        messages.push_back(kind);
        messages.push_back(static_cast<uint8_t>(length >> 8));
        messages.push_back(static_cast<uint8_t>(length));
        messages.insert(messages.end(), bytes, bytes + length);
    }
};

sim::SimConfig boardFor(bool proto7) {
    sim::SimConfig c;
    c.protocol = proto7 ? BOARD_PROTOCOL_7 : BOARD_PROTOCOL_5;
    return c;
}

void replySeeds(const fs::path& dir) {
    struct Case {
        const char* name;
        fuzz::Operation op;
        fuzz::Args args;
        uint8_t link = 0;
    };
    const Case cases[] = {
        {"dev-state", fuzz::kDevState, {}},
        {"ext-state", fuzz::kDevExtState, {}},
        {"dev-type", fuzz::kDevType, {}},
        {"board-mode", fuzz::kBoardMode, {}},
        {"heartbeat", fuzz::kHeartbeat, {{0, 7}}},
        {"axis-states", fuzz::kAxisStates, {{2, 0, 0, 1, 0, 0, 0x02, 1}}},
        {"axis-states-ex", fuzz::kAxisStates, {{3, 0, 0, 1, 2, 0, 0, 3}}},
        {"eeprom-read", fuzz::kEepromRead, {{0x01, 0x00, 0, 70}}},
        {"eeprom-write", fuzz::kEepromWrite, {{0x01, 0x00, 0, 70}}},
        {"user-data-read", fuzz::kUserDataRead, {{0, 0, 100}}},
        {"user-data-write", fuzz::kUserDataWrite, {{0, 0, 40, 1}}},
        {"data-transmit", fuzz::kDataTransmit, {{0, 8, 0, 64, 1}}},
        {"offline-ram-size", fuzz::kOfflineRamSize, {}},
        {"cached-status", fuzz::kCachedStatus, {}},
        {"run-control", fuzz::kRunControl, {}},
        {"connect", fuzz::kConnect, {{1}}},
        {"connect-network", fuzz::kConnect, {{3}}, fuzz::kLinkNetwork},
        {"probe", fuzz::kProbe, {}},
        {"stream-job", fuzz::kStreamJob, {{12, 1}}},
        {"offline-download", fuzz::kStreamJob, {{4, 2}}},
    };
    for (bool proto7 : {false, true}) {
        for (const Case& c : cases) {
            sim::SimBoard board(boardFor(proto7));
            Recorder link(board, (c.link & fuzz::kLinkNetwork) != 0);
            link.openDev();
            const uint8_t linkByte = static_cast<uint8_t>(c.link | (proto7 ? fuzz::kLinkProto7 : 0));
            fuzz::runOperation(linkByte, c.op, c.args, link);
            Bytes seed = {linkByte, static_cast<uint8_t>(c.op)};
            seed.insert(seed.end(), c.args.b, c.args.b + sizeof c.args.b);
            seed.insert(seed.end(), link.replies.begin(), link.replies.end());
            writeSeed(dir, std::string(proto7 ? "p7-" : "p5-") + c.name, seed);
        }
    }
}

void frameSeeds(const fs::path& dir) {
    for (bool proto7 : {false, true}) {
        sim::SimConfig config = boardFor(proto7);
        config.flashSize = 64 * 1024;
        sim::SimBoard board(config);
        Recorder link(board);
        std::unique_ptr<Executor> e(
            Executor::create(BOARD_TYPE_PROTOCOL7, proto7 ? BOARD_PROTOCOL_7 : BOARD_PROTOCOL_5));
        e->setTransfer(&link);
        e->init(DevPar(), false, true);
        const Bytes head = {static_cast<uint8_t>(proto7 ? 1 : 0)};

        // A small job: laser settings, a jump and a square of marks, a delay and an output.
        link.messages.clear();
        e->setRun();
        e->sendDelayTime(50);
        e->sendMoveToAbs({30000, 30000}, 20, 5);
        for (Point2dConcept<int> p : {Point2dConcept<int>{35000, 30000}, {35000, 35000}, {30000, 35000}})
            e->sendLineToAbs(p, 40, 0);
        e->sendOutPortStateAll(1, 1);
        e->exeCurCmd(true);
        Bytes job = head;
        job.insert(job.end(), link.messages.begin(), link.messages.end());
        writeSeed(dir, std::string(proto7 ? "p7" : "p5") + "-job", job);

        // The same moves stored in flash, then run from there.
        link.messages.clear();
        e->setOfflineMode(true);
        e->setOfflineDocIndex(0);
        e->sendMoveToAbs({1000, 2000}, 10, 0);
        e->sendLineToAbs({3000, 2000}, 10, 0);
        SdkError err = SDK_OK;
        e->OfflineDownload(err);
        Bytes offline = head;
        offline.insert(offline.end(), link.messages.begin(), link.messages.end());
        offline.insert(offline.end(), {2, 0, 0});
        writeSeed(dir, std::string(proto7 ? "p7" : "p5") + "-offline", offline);
    }
}

void calibSeeds(const fs::path& dir) {
    fs::create_directories(dir);
    const fs::path scratch = fs::temp_directory_path() / "make-corpus.cal";
    fs::remove(scratch);
    GalvoParam galvo;
    galvo.fieldSize = 110;
    galvo.setResolution(65535);
    galvo.calPar.gridPitch = 40;
    CalibFunc::saveUcf(scratch.c_str(), galvo);
    fs::copy_file(scratch, dir / "lens-only", fs::copy_options::overwrite_existing);
    CalibFunc::setEqualPnts(scratch.c_str(), 0, {{-10, -10}, {0, 0}, {10, 10}});
    CalibFunc::setCalibPnts(scratch.c_str(), 1, 2,
                            {{-10, -10, -10.02f, -9.98f}, {10, -10, 10.1f, -10}, {-10, 10, -10, 10}, {10, 10, 10, 10}});
    fs::copy_file(scratch, dir / "lens-and-sets", fs::copy_options::overwrite_existing);
    fs::remove(scratch);
    writeText(dir, "tables",
              "quorcal-calibration 1\n# lens with correction tables\nfieldSize 100\nareaSize 80\n"
              "resolution 65535\ncenter 32768\nlibExtent 1073741824\nboxFlags 0 1 0\noffset 0.5 -0.5\n"
              "angle 0\nrotCenter 0 0\nboxCoef 1.01 0.99 1 1 1 1 100 100\ntableEnable 1\ntableCount 3\n"
              "table 0 -50 0 50\ntable 2 -50.2 0 50.1\ntable 1 -50 0 50\ntable 3 -49.9 0 50\nuse9Point 1\n"
              "calFlags 0 0 0\ngridPitch 40\ngridPoint 0 -40.1 -39.9\ngridPoint 1 0 -40\n"
              "gridPoint 2 40 -40\ngridPoint 3 -40 0\ngridPoint 4 0 0\ngridPoint 5 40 0\ngridPoint 6 -40 40\n"
              "gridPoint 7 0 40\ngridPoint 8 40.2 40\nend\n");
    writeText(dir, "sets-only",
              "quorcal-calibration 1\r\nequal -1 2\r\n1e-3 nan\r\n-0 5\r\ngrid 0 1\r\n1 2 3 4\r\nend\r\n");
}

void importSeeds(const fs::path& svg, const fs::path& json) {
    writeText(svg, "square",
              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40mm\" height=\"40mm\" viewBox=\"0 0 40 40\">"
              "<rect x=\"10\" y=\"10\" width=\"20\" height=\"20\" fill=\"none\" stroke=\"black\"/></svg>\n");
    writeText(svg, "shapes",
              "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"50\">\n"
              "<g transform=\"translate(10,5) scale(2) rotate(15)\">\n"
              "<path d=\"M0 0 L10 0 Q15 5 10 10 C5 15 0 10 0 5 A5 5 0 0 1 -5 0 Z\" stroke=\"red\"/>\n"
              "<polyline points=\"0,0 5,5 10,0\" stroke=\"blue\"/><polygon points=\"1,1 2,3 3,1\"/>\n"
              "<circle cx=\"20\" cy=\"20\" r=\"4\"/><ellipse cx=\"30\" cy=\"5\" rx=\"3\" ry=\"1\"/>\n"
              "<line x1=\"0\" y1=\"20\" x2=\"20\" y2=\"0\" transform=\"matrix(1 0 0 1 2 2) skewX(10)\"/>\n"
              "</g></svg>\n");
    writeText(svg, "relative-path",
              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"2in\" height=\"1in\" viewBox=\"-10 -10 200 100\">"
              "<path d=\"m1,2 h10 v-5 l3 3 s4 4 8 0 t5 5 c1 1 2 2 3 3 q1 1 2 2 a3 4 30 1 0 5 5 z\"/></svg>\n");
    writeText(
        json, "square",
        "{\"pens\": [{\"name\": \"fine\", \"markSpeed\": 500, \"jumpSpeed\": 2000, \"power\": 40,"
        " \"frequency\": 20}],\n \"layers\": [{\"pen\": \"fine\", \"shapes\": ["
        "{\"type\": \"polyline\", \"points\": [[-10, -10], [10, -10], [10, 10], [-10, 10]], \"closed\": true}]}]}\n");
    writeText(json, "shapes",
              "{\"pens\": [{\"name\": \"a\"}, {\"name\": \"b\", \"power\": 80, \"laserOnDelay\": 120}],\n"
              " \"layers\": [{\"pen\": \"a\", \"shapes\": [{\"type\": \"circle\", \"center\": [0, 0], \"radius\": 5},"
              " {\"type\": \"rect\", \"x\": 1, \"y\": 2, \"width\": 3, \"height\": 4},"
              " {\"type\": \"line\", \"from\": [0, 0], \"to\": [5, 5]}]},\n"
              " {\"pen\": \"b\", \"shapes\": [{\"type\": \"text\", \"text\": \"SN 0042\", \"at\": [-20, 0],"
              " \"height\": 5}]}]}\n");
    writeText(json, "unknown-pen", "{\"pens\": [], \"layers\": [{\"pen\": \"x\", \"shapes\": []}]}\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
        return 2;
    }
    Logger::setMinLevel(Logger::kError + 1);
    utils::Thread::setSleepHook([](uint32_t) {});
    const fs::path root = argv[1];
    replySeeds(root / "replies_fuzz");
    frameSeeds(root / "sim_frames_fuzz");
    calibSeeds(root / "calib_file_fuzz");
    importSeeds(root / "import_svg_fuzz", root / "import_json_fuzz");
    return 0;
}
