#include "eeprom.h"
#include <memory>
#include "cli_options.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli_error.h"
#include "files.h"

namespace cli {

namespace {

constexpr std::size_t kHexBytesPerLine = 16;
// Raw transfers carry 16-bit addresses and sizes.
constexpr uint32_t kMaxUserData = 0xFFFF;

// Where user data starts and how much fits, from the board's own figures.
uint32_t userDataCapacity(BoardConnection& board) {
    uint32_t dataAddr = 0, limit = 0;
    if (!board.executor().getUserRamInfo(dataAddr, limit))
        throw CliError(kExitBoard, about(board.name(), "board did not report its parameter memory"));
    const uint64_t end = static_cast<uint64_t>(limit) + 1;
    return end > dataAddr ? static_cast<uint32_t>(std::min<uint64_t>(end - dataAddr, kMaxUserData)) : 0;
}

bool isText(const std::string& bytes) {
    for (unsigned char c : bytes)
        if (!(c >= 0x20 && c < 0x7F) && c != '\n' && c != '\r' && c != '\t') return false;
    return true;
}

void printHex(const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += kHexBytesPerLine) {
        std::printf("%04zx ", at);
        std::string ascii;
        for (std::size_t i = at; i < at + kHexBytesPerLine; ++i) {
            if (i < bytes.size()) {
                const unsigned char c = static_cast<unsigned char>(bytes[i]);
                std::printf(" %02x", c);
                ascii += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
            } else {
                std::printf("   ");
            }
        }
        std::printf("  |%s|\n", ascii.c_str());
    }
}

}  // namespace

int runEepromRead(const BoardOptions& options, const EepromReadOptions& read) {
    BoardConnection board(options, true);
    Executor& executor = board.executor();
    const uint32_t capacity = userDataCapacity(board);
    uint32_t size = 0;
    if (!executor.getUserDataSize(size))
        throw CliError(kExitBoard, about(board.name(), "board did not report its user data size"));
    if (size > capacity)
        throw CliError(kExitBoard, about(board.name(), "board reports " + std::to_string(size) +
                                                           " bytes of user data, more than its " +
                                                           std::to_string(capacity) + " bytes hold"));
    std::vector<uint8_t> data(size);
    if (size != 0 && !executor.readUserData(data.data(), size))
        throw CliError(kExitBoard, about(board.name(), "user data did not read back intact"));
    if (!board.disconnect()) throw CliError(kExitBoard, about(board.name(), "board did not let go"));

    const std::string bytes(data.begin(), data.end());
    if (!read.outFile.empty()) {
        writeOutputFile(read.outFile, bytes);
        std::printf("%s: %u bytes of user data written to %s\n", board.name().c_str(), size, read.outFile.c_str());
    } else if (size == 0) {
        std::printf("%s: no user data\n", board.name().c_str());
    } else if (!read.hex && isText(bytes)) {
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        if (bytes.back() != '\n') std::putchar('\n');
    } else {
        printHex(bytes);
    }
    return kExitOk;
}

int runEepromWrite(const BoardOptions& options, const EepromWriteOptions& write) {
    const std::string bytes = write.inFile.empty() ? write.text : readInputFile(write.inFile);
    const std::string source = write.inFile.empty() ? "text" : write.inFile;
    if (bytes.empty()) throw CliError(kExitBadInput, about(source, "nothing to write"));
    BoardConnection board(options);
    const uint32_t capacity = userDataCapacity(board);
    if (bytes.size() > capacity)
        throw CliError(kExitBadInput, about(source, std::to_string(bytes.size()) + " bytes do not fit the board's " +
                                                        std::to_string(capacity) + " bytes of user data"));
    const uint32_t size = static_cast<uint32_t>(bytes.size());
    if (!board.executor().writeUserData(reinterpret_cast<const uint8_t*>(bytes.data()), size))
        throw CliError(kExitBoard, about(board.name(), "board did not take the user data"));
    if (!board.disconnect()) throw CliError(kExitBoard, about(board.name(), "board did not let go"));
    std::printf("%s: %u bytes of user data written\n", board.name().c_str(), size);
    return kExitOk;
}

void addEepromCommand(CLI::App& app, Action& action) {
    struct State {
        BoardOptions board;
        EepromReadOptions read;
        EepromWriteOptions write;
    };
    auto state = std::make_shared<State>();
    CLI::App* eepromCommand = app.add_subcommand("eeprom", "the user data in the board's parameter memory");
    eepromCommand->require_subcommand(1);
    CLI::App* readCommand = eepromCommand->add_subcommand("read", "print the user data, or save it to a file");
    addBoardOptions(*readCommand, state->board);
    readCommand->add_option("--out", state->read.outFile, "write the bytes to this file");
    readCommand->add_flag("--hex", state->read.hex, "print a hex dump even when it is text");
    readCommand->callback([&action, state] { action = [state] { return runEepromRead(state->board, state->read); }; });
    CLI::App* writeCommand = eepromCommand->add_subcommand("write", "replace the user data");
    addBoardOptions(*writeCommand, state->board);
    CLI::Option* writeFile = writeCommand->add_option("FILE", state->write.inFile, "bytes to store");
    writeCommand->add_option("--text", state->write.text, "text to store")->excludes(writeFile);
    writeCommand->callback([&action, state] {
        if (state->write.inFile.empty() && state->write.text.empty())
            throw CLI::ValidationError("eeprom write", "needs a FILE or --text");
        action = [state] { return runEepromWrite(state->board, state->write); };
    });
}

}  // namespace cli
