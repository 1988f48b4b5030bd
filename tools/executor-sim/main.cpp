// executor-sim: a simulated board served over UDP, for hosts without hardware.

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "executor/net/udp_board_server.h"
#include "executor/net/udp_transfer.h"
#include "executor/sim/sim_board.h"

namespace {

const char* const kUsage =
    "usage: executor-sim [options]\n"
    "  --listen HOST:PORT       address to serve on (default 127.0.0.1:0; port 0 lets the system pick)\n"
    "  --protocol 5|7           board protocol (default 7)\n"
    "  --pacing instant|simulated\n"
    "                           run frames on receipt, or advance with each status poll (default instant)\n"
    "  --capacity BYTES         list memory of the board (default 262144)\n"
    "  --flash BYTES            program flash; protocol 7 reports at most 1 MiB of it (default 8 MiB)\n"
    "  --ticks-per-poll N       simulated pacing: ticks executed with each status poll (default 2000)\n"
    "  --loss FRACTION          drop this fraction of datagrams in each direction (default 0)\n"
    "  --seed N                 seed of the loss decisions (default 1)\n"
    "  --factory-reads N        report the boot loader for the first N board mode reads\n"
    "  --busy-polls N           parameter memory and flash stay busy N polls after each write\n"
    "  --refuse OPCODE[:STATUS] refuse this immediate command (hex) with STATUS (default 1)\n"
    "  --stall                  command memory never drains\n"
    "  --trace FILE.svg         write a picture of the trace on exit and on SIGUSR1\n"
    "  --json FILE.json         write the trace events likewise\n"
    "  --verbose                log every request to stderr\n"
    "The bound address is printed as \"listening on HOST:PORT\". SIGINT or SIGTERM ends the program\n"
    "and prints what was served: \"executed N, repeated N, stale N, malformed N, lost N in and N out\".\n";

struct Options {
    std::string host = "127.0.0.1";
    uint16_t port = 0;
    sim::SimConfig config;
    sim::Faults faults;
    double loss = 0.0;
    uint32_t seed = 1;
    std::string svgPath;
    std::string jsonPath;
    bool verbose = false;
};

bool parseNumber(const std::string& text, unsigned long long max, unsigned long long& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0 && value <= max;
}

bool parseFraction(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end != nullptr && *end == '\0' && value >= 0.0 && value <= 1.0;
}

// OPCODE or OPCODE:STATUS, both hexadecimal.
bool parseRefusal(const std::string& text, sim::Faults& faults) {
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
    if (!hex(opcode, 0xFFFF, op) || op == 0 || !hex(status, 0xFF, st)) return false;
    faults.refuseOpcode = static_cast<uint16_t>(op);
    faults.refuseStatus = static_cast<uint8_t>(st);
    return true;
}

// Returns 0 to run, otherwise the exit status.
int parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        bool hasValue = false;
        const size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            hasValue = true;
        }
        if (name == "--help" || name == "-h") {
            std::cout << kUsage;
            return -1;
        }
        if (name == "--verbose") {
            options.verbose = true;
            continue;
        }
        if (name == "--stall") {
            options.faults.stallMemory = true;
            continue;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                std::cerr << "executor-sim: " << name << " needs a value\n" << kUsage;
                return 2;
            }
            value = argv[++i];
        }
        unsigned long long number = 0;
        bool ok = true;
        if (name == "--listen") {
            const size_t colon = value.rfind(':');
            ok = colon != std::string::npos && colon > 0 && parseNumber(value.substr(colon + 1), 65535, number);
            if (ok) {
                options.host = value.substr(0, colon);
                options.port = static_cast<uint16_t>(number);
            }
        } else if (name == "--protocol") {
            ok = value == "5" || value == "7";
            options.config.protocol = value == "5" ? BOARD_PROTOCOL_5 : BOARD_PROTOCOL_7;
        } else if (name == "--pacing") {
            ok = value == "instant" || value == "simulated";
            options.config.pacing = value == "simulated" ? sim::Pacing::kSimulated : sim::Pacing::kInstant;
        } else if (name == "--capacity") {
            ok = parseNumber(value, 0xFFFFFFFFull, number) && number > 0;
            options.config.commandMemory = static_cast<uint32_t>(number);
        } else if (name == "--flash") {
            ok = parseNumber(value, 0x800000, number) && number >= 4096;
            options.config.flashSize = static_cast<uint32_t>(number);
        } else if (name == "--ticks-per-poll") {
            ok = parseNumber(value, 0xFFFFFFFFull, number) && number > 0;
            options.config.ticksPerPoll = number;
        } else if (name == "--factory-reads") {
            ok = parseNumber(value, 0xFFFF, number);
            options.faults.factoryModeReads = static_cast<int>(number);
        } else if (name == "--busy-polls") {
            ok = parseNumber(value, 0xFFFF, number);
            options.faults.busyPolls = static_cast<int>(number);
        } else if (name == "--refuse") {
            ok = parseRefusal(value, options.faults);
        } else if (name == "--loss") {
            ok = parseFraction(value, options.loss);
        } else if (name == "--seed") {
            ok = parseNumber(value, 0xFFFFFFFFull, number);
            options.seed = static_cast<uint32_t>(number);
        } else if (name == "--trace") {
            options.svgPath = value;
        } else if (name == "--json") {
            options.jsonPath = value;
        } else {
            std::cerr << "executor-sim: unknown option " << name << "\n" << kUsage;
            return 2;
        }
        if (!ok) {
            std::cerr << "executor-sim: bad value for " << name << ": " << value << "\n";
            return 2;
        }
    }
    return 0;
}

// Written aside and renamed, so whoever reads the file never sees half of it.
bool writeFile(const std::string& path, const std::string& content) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << content;
        if (!out.flush()) return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) return false;
    std::cout << "wrote " << path << std::endl;
    return true;
}

bool writeTrace(const Options& options, const sim::SimBoard& board) {
    const sim::Trace trace = board.trace();
    bool ok = true;
    if (!options.svgPath.empty() && !writeFile(options.svgPath, trace.toSvg())) {
        std::cerr << "executor-sim: cannot write " << options.svgPath << "\n";
        ok = false;
    }
    if (!options.jsonPath.empty() && !writeFile(options.jsonPath, trace.toJson())) {
        std::cerr << "executor-sim: cannot write " << options.jsonPath << "\n";
        ok = false;
    }
    return ok;
}

void logRequest(uint8_t kind, const uint8_t* payload, uint32_t length) {
    const unsigned opcode = length >= 2 ? static_cast<unsigned>(payload[0] << 8 | payload[1]) : 0;
    // Frames are logged by their first packet's opcode.
    std::fprintf(stderr, "%s opcode 0x%04X, %u bytes\n", kind == net::datagram::kFrame ? "frame" : "request", opcode,
                 length);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    const int parsed = parse(argc, argv, options);
    if (parsed != 0) return parsed < 0 ? 0 : parsed;

    // Blocked before the server thread starts, so it inherits the mask and only sigwait sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    sim::SimBoard board(options.config);
    board.faults() = options.faults;
    net::ServerOptions serverOptions;
    serverOptions.address = options.host;
    serverOptions.port = options.port;
    serverOptions.dropIncoming = options.loss;
    serverOptions.dropOutgoing = options.loss;
    serverOptions.seed = options.seed;
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
        break;
    }
    server.stop();
    const bool written = writeTrace(options, board);
    const net::ServerStats s = server.stats();
    std::printf("executed %llu, repeated %llu, stale %llu, malformed %llu, lost %llu in and %llu out\n",
                static_cast<unsigned long long>(s.executed), static_cast<unsigned long long>(s.repeated),
                static_cast<unsigned long long>(s.stale), static_cast<unsigned long long>(s.malformed),
                static_cast<unsigned long long>(s.droppedIn), static_cast<unsigned long long>(s.droppedOut));
    std::fflush(stdout);
    return written ? 0 : 1;
}
