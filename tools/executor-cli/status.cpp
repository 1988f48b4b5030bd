#include "status.h"
#include <memory>
#include "cli_options.h"

#include <cstdio>
#include <string>

#include "cli_error.h"

namespace cli {

namespace {

const char* modeName(BoardMode mode) {
    switch (mode) {
        case BOARD_MODE_APPLICATION:
            return "application firmware";
        case BOARD_MODE_FACTORY:
            return "boot loader";
        default:
            return "no answer";
    }
}

const char* yesNo(bool value) { return value ? "yes" : "no"; }

int protocolNumber(BOARD_PROTOCOL protocol) { return protocol == BOARD_PROTOCOL_7 ? 7 : 5; }

std::string versionList(const uint16_t (&words)[4]) {
    std::string out;
    for (uint16_t w : words) out += (out.empty() ? "" : ".") + std::to_string(w);
    return out;
}

}  // namespace

int runStatus(const BoardOptions& options) {
    BoardConnection board(options, true);
    Executor& executor = board.executor();
    DevBaseState state;
    if (!executor.getDevState(state, true))
        throw CliError(kExitBoard, about(board.name(), "board did not report its state"));
    const BoardMode mode = executor.getBoardMode();
    uint32_t markCount = 0;
    const bool counted = executor.getMarkCount(true, markCount);

    std::printf("board %s: protocol %d\n", board.name().c_str(), protocolNumber(board.protocol()));
    std::printf("mode: %s\n", modeName(mode));
    std::printf("state: work state %u, job finished: %s, offline: %s, flash busy: %s\n", state.workState,
                yesNo(state.finished), yesNo(state.offline), yesNo(state.flashState));
    std::printf("free list memory: %u KiB\n", state.freeCacheKb);
    std::printf("inputs: 0x%08X, outputs: 0x%08X\n", state.inputs, state.outputs);
    if (counted) {
        std::printf("marks counted: %u\n", markCount);
    } else {
        std::printf("marks counted: unknown\n");
    }
    if (!board.disconnect()) throw CliError(kExitBoard, about(board.name(), "board did not let go"));
    return kExitOk;
}

int runProbe(const BoardOptions& options) {
    BoardConnection board(options);
    Executor& executor = board.executor();
    DevInfo info;
    if (!executor.getDevInfo(info)) throw CliError(kExitBoard, about(board.name(), "board did not report who it is"));
    const DevSysInfo& sys = info.sysInfo;

    std::printf("board %s: protocol %d, type %d, sub type %d\n", board.name().c_str(), protocolNumber(board.protocol()),
                info.boardType, info.boardTypeSub);
    if (board.protocol() == BOARD_PROTOCOL_7) {
        std::printf("firmware version: 0x%04X\n", sys.firmwareVersion());
    } else {
        std::printf("FPGA version: %s\n", versionList(sys.fpgaVersion).c_str());
    }
    std::printf("id: %s, name: %s\n", sys.devId.empty() ? "-" : sys.devId.c_str(),
                sys.devName.empty() ? "-" : sys.devName.c_str());
    std::printf("axes: %u, offline programs: %s, re-marking: %s\n", sys.axisCount, yesNo(sys.offlineSupport),
                yesNo(sys.reMarkSupport));
    if (!info.devPar.m_ip.empty() && info.devPar.m_ip != "0.0.0.0")
        std::printf("address: %s, mac %s\n", info.devPar.m_ip.c_str(), info.devPar.m_mac.c_str());
    if (!board.disconnect()) throw CliError(kExitBoard, about(board.name(), "board did not let go"));
    return kExitOk;
}

void addStatusCommands(CLI::App& app, Action& action) {
    auto statusBoard = std::make_shared<BoardOptions>();
    CLI::App* statusCommand = app.add_subcommand("status", "board state, mode and counters");
    addBoardOptions(*statusCommand, *statusBoard);
    statusCommand->callback([&action, statusBoard] { action = [statusBoard] { return runStatus(*statusBoard); }; });

    auto probeBoard = std::make_shared<BoardOptions>();
    CLI::App* probeCommand = app.add_subcommand("probe", "board protocol, type, versions and abilities");
    addBoardOptions(*probeCommand, *probeBoard);
    probeCommand->callback([&action, probeBoard] { action = [probeBoard] { return runProbe(*probeBoard); }; });
}

}  // namespace cli
