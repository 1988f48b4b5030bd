#include "progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

namespace cli {

namespace {

constexpr int kBarWidth = 30;

}  // namespace

ProgressBar::ProgressBar(std::string label, std::FILE* stream)
    : m_label(std::move(label)), m_stream(stream), m_enabled(isatty(fileno(stream)) != 0) {}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::update(std::size_t done, std::size_t total, const char* units) {
    if (!m_enabled) return;
    if (total == 0) return;  // nothing to measure against
    done = std::min(done, total);
    const long perMille = static_cast<long>(done * 1000 / total);
    if (perMille == m_lastShown) return;  // a terminal redraw per command would slow the job
    m_lastShown = perMille;
    const int filled = static_cast<int>(perMille * kBarWidth / 1000);
    std::fprintf(m_stream, "\r%s [%s%s] %3ld%% %zu/%zu %s", m_label.c_str(), std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, '.').c_str(), perMille / 10, done, total, units);
    std::fflush(m_stream);
    m_drawn = true;
}

void ProgressBar::finish() {
    if (!m_drawn) return;
    m_drawn = false;
    std::fputc('\n', m_stream);
    std::fflush(m_stream);
}

}  // namespace cli
