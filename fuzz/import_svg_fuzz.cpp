// The SVG importer fed arbitrary documents: it either returns a job whose polylines name
// existing pens, or throws its own ImportError; anything else escaping is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/job_check.h"
#include "import/import_error.h"
#include "import/svg_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        fuzz::checkJob(importer::importSvgText(text));
    } catch (const importer::ImportError&) {
        // A document the importer refuses, with a message for the user.
    }
    return 0;
}
