#include "executor/platform/logger.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <type_traits>
#include <utility>

#include "executor/platform/text.h"

namespace {

// Recursive so that a sink which itself logs does not deadlock.
std::recursive_mutex& sinkMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

Logger::Sink& installedSink() {
    static Logger::Sink sink;
    return sink;
}

std::atomic<int> g_minLevel{Logger::kWarning};

char levelLetter(int level) {
    if (level <= Logger::kDebug) return 'D';
    if (level == Logger::kInfo) return 'I';
    if (level == Logger::kWarning) return 'W';
    return 'E';
}

void defaultSink(int level, const std::string& tag, const std::string& line) {
    // Built first and written with one call so lines from other processes stay whole too.
    std::string out = "[";
    out += levelLetter(level);
    out += "] ";
    out += tag;
    out += ": ";
    out += line;
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

uint32_t codeUnit(wchar_t c) { return static_cast<uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c)); }

void appendWide(std::string& out, const wchar_t* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        uint32_t cp = codeUnit(text[i]);
        if (sizeof(wchar_t) == 2) {
            cp &= 0xFFFF;
            // UTF-16 hosts: join surrogate pairs; a lone surrogate falls through to U+FFFD.
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < length) {
                uint32_t low = codeUnit(text[i + 1]) & 0xFFFF;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        appendUtf8(out, cp);
    }
}

}  // namespace

Logger::Logger(int level, const char* tag) : m_level(level), m_tag(tag ? tag : "") {}

Logger::~Logger() {
    if (m_level < g_minLevel.load()) return;
    // A destructor must not throw, whatever the host's sink does.
    try {
        std::lock_guard<std::recursive_mutex> lock(sinkMutex());
        Sink sink = installedSink();
        if (sink) {
            sink(m_level, m_tag, m_line);
        } else {
            defaultSink(m_level, m_tag, m_line);
        }
    } catch (...) {
    }
}

Logger& Logger::printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    utils::vformatAppend(m_line, format, args);
    va_end(args);
    return *this;
}

Logger& Logger::write(const char* text) {
    m_line += text ? text : "(null)";
    return *this;
}

Logger& Logger::write(const std::string& text) {
    m_line += text;
    return *this;
}

Logger& Logger::write(const wchar_t* text) {
    if (!text) return write("(null)");
    appendWide(m_line, text, std::char_traits<wchar_t>::length(text));
    return *this;
}

Logger& Logger::write(const std::wstring& text) {
    appendWide(m_line, text.data(), text.size());
    return *this;
}

Logger& Logger::write(int value) {
    m_line += std::to_string(value);
    return *this;
}

Logger& Logger::write(unsigned int value) {
    m_line += std::to_string(value);
    return *this;
}

Logger& Logger::write(long value) {
    m_line += std::to_string(value);
    return *this;
}

Logger& Logger::write(unsigned long value) {
    m_line += std::to_string(value);
    return *this;
}

Logger& Logger::write(long long value) {
    m_line += std::to_string(value);
    return *this;
}

Logger& Logger::write(unsigned long long value) {
    m_line += std::to_string(value);
    return *this;
}

Logger& Logger::write(const uint8_t* data, size_t length) {
    static const char kDigits[] = "0123456789ABCDEF";
    if (!data) return *this;
    m_line.reserve(m_line.size() + length * 3);
    for (size_t i = 0; i < length; ++i) {
        if (i > 0) m_line += ' ';
        m_line += kDigits[data[i] >> 4];
        m_line += kDigits[data[i] & 0x0F];
    }
    return *this;
}

void Logger::setSink(Sink sink) {
    std::lock_guard<std::recursive_mutex> lock(sinkMutex());
    installedSink() = std::move(sink);
}

void Logger::setMinLevel(int level) { g_minLevel.store(level); }

int Logger::minLevel() { return g_minLevel.load(); }
