#pragma once
// A one-line progress bar on standard error, drawn only when standard error is a terminal, so
// logs and CI output stay clean.

#include <cstddef>
#include <cstdio>
#include <string>

namespace cli {

class ProgressBar {
public:
    // Draws on stream only when it is a terminal.
    explicit ProgressBar(std::string label, std::FILE* stream = stderr);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // done of total, counted in units (e.g. "marks"); nothing is drawn without a total.
    void update(std::size_t done, std::size_t total, const char* units = "");
    // Ends the line, once.
    void finish();

private:
    std::string m_label;
    std::FILE* m_stream;
    bool m_enabled;
    bool m_drawn = false;
    long m_lastShown = -1;  // per mille
};

}  // namespace cli
