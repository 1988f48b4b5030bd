#include "cli_options.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace cli {

void addBoardOptions(CLI::App& command, BoardOptions& board, bool simOnly) {
    command.add_option("--board", board.address, simOnly ? "sim7 or sim5" : "sim7, sim5 or udp://HOST:PORT")
        ->capture_default_str();
    if (simOnly) return;
    command.add_option("--timeout", board.timeoutMs, "UDP: milliseconds to wait for each reply")
        ->check(CLI::Range(1u, 60000u))
        ->capture_default_str();
    command.add_option("--retries", board.retries, "UDP: times a request is sent again")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
}

void addPenOptions(CLI::App& command, PenOverrides& pens, bool speedsOnly) {
    command
        .add_option_function<double>(
            "--mark-speed", [&pens](double v) { pens.markSpeed = v; }, "mm/s while marking, every pen")
        ->check(CLI::PositiveNumber);
    command
        .add_option_function<double>(
            "--jump-speed", [&pens](double v) { pens.jumpSpeed = v; }, "mm/s while jumping, every pen")
        ->check(CLI::PositiveNumber);
    if (speedsOnly) return;
    command
        .add_option_function<double>(
            "--power", [&pens](double v) { pens.power = v; }, "laser power in percent, every pen")
        ->check(CLI::Range(0.0, 100.0));
    command
        .add_option_function<double>(
            "--frequency", [&pens](double v) { pens.frequency = v; }, "pulse frequency in kHz, every pen")
        ->check(CLI::PositiveNumber);
    command
        .add_option_function<double>(
            "--pulse-width", [&pens](double v) { pens.pulseWidth = v; }, "pulse width in us, every pen")
        ->check(CLI::PositiveNumber);
}

std::string validated(const std::function<void()>& parse) {
    try {
        parse();
        return "";
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
}

CLI::Validator finiteNumber(bool positive) {
    return CLI::Validator(
        [positive](std::string& v) -> std::string {
            char* end = nullptr;
            const double value = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !std::isfinite(value)) return "not a finite number: " + v;
            return positive && value <= 0 ? "not above zero: " + v : "";
        },
        positive ? "POSITIVE" : "FINITE");
}

}  // namespace cli
