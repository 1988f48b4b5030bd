#include "eeprom.h"

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
    BoardConnection board(options);
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

}  // namespace cli
