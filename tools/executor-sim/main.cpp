// executor-sim: a simulated board served over UDP, for hosts without hardware.

#include <pthread.h>
#include <signal.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "common/output_file.h"
#include "executor/net/udp_board_server.h"
#include "executor/net/udp_transfer.h"
#include "executor/sim/sim_board.h"

namespace {

const char* const kFooter =
    "The bound address is printed as \"listening on HOST:PORT\". SIGUSR1 writes the trace files and goes on\n"
    "serving; SIGUSR2 clears the trace (between jobs); SIGINT or SIGTERM ends the program and prints what\n"
    "was served: \"executed N, repeated N, stale N, malformed N, lost N in and N out, busy N\".\n";

struct Options {
    std::string host = "127.0.0.1";
    uint16_t port = 0;
    sim::SimConfig config;
    sim::Faults faults;
    double loss = 0.0;
    uint32_t seed = 1;
    double ownerIdle = 5.0;
    std::string svgPath;
    std::string jsonPath;
    bool verbose = false;
};

// HOST:PORT, the port 0 to 65535.
std::string parseListen(const std::string& text, Options& options) {
    const size_t colon = text.rfind(':');
    const std::string port = colon == std::string::npos ? "" : text.substr(colon + 1);
    if (colon == 0 || port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(port) > 65535)
        return "expected HOST:PORT, got " + text;
    options.host = text.substr(0, colon);
    options.port = static_cast<uint16_t>(std::stoul(port));
    return "";
}

// OPCODE or OPCODE:STATUS, both hexadecimal.
std::string parseRefusal(const std::string& text, sim::Faults& faults) {
    const size_t colon = text.find(':');
    const std::string opcode = text.substr(0, colon);
    const std::string status = colon == std::string::npos ? "1" : text.substr(colon + 1);
    const auto hex = [](const std::string& t, unsigned long max, unsigned long& value) {
        if (t.empty() || t.size() > 6 || t.find_first_not_of("0123456789abcdefABCDEFx") != std::string::npos)
            return false;
        char* end = nullptr;
        value = std::strtoul(t.c_str(), &end, 16);
        return *end == '\0' && value <= max;
    };
    unsigned long op = 0, st = 0;
    if (!hex(opcode, 0xFFFF, op) || op == 0 || !hex(status, 0xFF, st)) return "expected OPCODE[:STATUS] in hex";
    faults.refuseOpcode = static_cast<uint16_t>(op);
    faults.refuseStatus = static_cast<uint8_t>(st);
    return "";
}

// Returns -1 to run, otherwise the exit status.
int parse(int argc, char** argv, Options& options) {
    CLI::App app("A simulated board served over UDP, for hosts without hardware.", "executor-sim");
    app.footer(kFooter);
    std::string listen = "127.0.0.1:0", refuse;
    Options scratch;  // validators parse into it; the values are taken after the whole line parsed
    app.add_option("--listen", listen, "address to serve on; port 0 lets the system pick")
        ->capture_default_str()
        ->check([&scratch](const std::string& v) { return parseListen(v, scratch); });
    app.add_option_function<int>(
           "--protocol", [&](int v) { options.config.protocol = v == 5 ? BOARD_PROTOCOL_5 : BOARD_PROTOCOL_7; },
           "board protocol")
        ->check(CLI::IsMember({5, 7}))
        ->default_str("7");
    app.add_option_function<std::string>(
           "--pacing",
           [&](const std::string& v) {
               options.config.pacing = v == "simulated" ? sim::Pacing::kSimulated : sim::Pacing::kInstant;
           },
           "run frames on receipt (instant), or advance with each status poll (simulated)")
        ->check(CLI::IsMember({"instant", "simulated"}))
        ->default_str("instant");
    app.add_option("--capacity", options.config.commandMemory, "list memory of the board, bytes")
        ->check(CLI::Range(1u, 0xFFFFFFFFu))
        ->capture_default_str();
    app.add_option("--flash", options.config.flashSize, "program flash, bytes; protocol 7 reports at most 1 MiB")
        ->check(CLI::Range(4096u, 0x800000u))
        ->capture_default_str();
    app.add_option("--ticks-per-poll", options.config.ticksPerPoll, "simulated pacing: ticks run per status poll")
        ->check(CLI::Range(uint64_t{1}, uint64_t{0xFFFFFFFF}))
        ->capture_default_str();
    app.add_option("--loss", options.loss, "drop this fraction of datagrams in each direction")
        ->check(CLI::Range(0.0, 1.0))
        ->capture_default_str();
    app.add_option("--seed", options.seed, "seed of the loss decisions")->capture_default_str();
    app.add_option("--owner-idle", options.ownerIdle,
                   "one host owns the board until it lets go or is silent this many seconds; others are told "
                   "\"board busy\" (0: any host at any time)")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    app.add_option("--factory-reads", options.faults.factoryModeReads,
                   "report the boot loader for the first N mode reads")
        ->check(CLI::Range(0, 0xFFFF));
    app.add_option("--busy-polls", options.faults.busyPolls, "parameter memory and flash stay busy N polls per write")
        ->check(CLI::Range(0, 0xFFFF));
    app.add_option("--refuse", refuse, "refuse this immediate command (hex) with STATUS (default 1)")
        ->type_name("OPCODE[:STATUS]")
        ->check([&scratch](const std::string& v) { return parseRefusal(v, scratch.faults); });
    app.add_flag("--stall", options.faults.stallMemory, "command memory never drains");
    app.add_option("--trace", options.svgPath, "write a picture of the trace (SVG) on exit and on SIGUSR1");
    app.add_option("--json", options.jsonPath, "write the trace events (JSON) likewise");
    app.add_option("--trace-limit", options.config.traceLimit,
                   "events kept in the trace (about 72 bytes each); later ones are counted, not kept")
        ->capture_default_str();
    app.add_flag("--verbose", options.verbose, "log every request to standard error");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "executor-sim: " << e.what() << " (see executor-sim --help)\n";
        return 2;
    }
    parseListen(listen, options);
    if (!refuse.empty()) parseRefusal(refuse, options.faults);
    return -1;
}

bool writeFile(const std::string& path, const std::string& content) {
    const std::string failure = tools::writeWhole(path, content);
    if (!failure.empty()) {
        std::cerr << "executor-sim: cannot write " << path << ": " << failure << "\n";
        return false;
    }
    std::cout << "wrote " << path << std::endl;
    return true;
}

bool writeTrace(const Options& options, const sim::SimBoard& board) {
    const sim::Trace trace = board.trace();
    bool ok = true;
    if (!options.svgPath.empty() && !writeFile(options.svgPath, trace.toSvg())) ok = false;
    if (!options.jsonPath.empty() && !writeFile(options.jsonPath, trace.toJson())) ok = false;
    return ok;
}

void logRequest(bool frame, const uint8_t* payload, uint32_t length) {
    const unsigned opcode = length >= 2 ? static_cast<unsigned>(payload[0] << 8 | payload[1]) : 0;
    // Frames are logged by their first packet's opcode.
    std::fprintf(stderr, "%s opcode 0x%04X, %u bytes\n", frame ? "frame" : "request", opcode, length);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    const int parsed = parse(argc, argv, options);
    if (parsed >= 0) return parsed;

    // Blocked before the server thread starts, so it inherits the mask and only sigwait sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    sigaddset(&signals, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    sim::SimBoard board(options.config);
    board.faults() = options.faults;
    net::ServerOptions serverOptions;
    serverOptions.address = options.host;
    serverOptions.port = options.port;
    serverOptions.dropIncoming = options.loss;
    serverOptions.dropOutgoing = options.loss;
    serverOptions.seed = options.seed;
    serverOptions.ownerIdleSeconds = options.ownerIdle;
    net::UdpBoardServer server(board, serverOptions);
    if (options.verbose) server.setObserver(logRequest);
    if (!server.start()) {
        std::cerr << "executor-sim: " << server.lastError() << "\n";
        return 1;
    }
    std::cout << "listening on " << server.address() << ":" << server.port() << std::endl;

    for (;;) {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0) continue;
        if (signal == SIGUSR1) {
            writeTrace(options, board);
            continue;
        }
        if (signal == SIGUSR2) {
            board.clearTrace();
            std::cout << "trace cleared" << std::endl;
            continue;
        }
        break;
    }
    server.stop();
    const bool written = writeTrace(options, board);
    const net::ServerStats s = server.stats();
    std::printf("executed %llu, repeated %llu, stale %llu, malformed %llu, lost %llu in and %llu out, busy %llu\n",
                static_cast<unsigned long long>(s.executed), static_cast<unsigned long long>(s.repeated),
                static_cast<unsigned long long>(s.stale), static_cast<unsigned long long>(s.malformed),
                static_cast<unsigned long long>(s.droppedIn), static_cast<unsigned long long>(s.droppedOut),
                static_cast<unsigned long long>(s.busy));
    std::fflush(stdout);
    return written ? 0 : 1;
}
