// Feeds arbitrary bytes, as a presentation file of any kind, to PresentationText on the program's own
// presentation server: the per-shape calls (the counts, HasTextFrame and the text of each shape, each
// going down from the active presentation) and the collection of the text. The reader is chosen by
// content, so the seeds of every format reach their reader. Besides the sanitizers' findings, a fault
// is any failure that is not an AutomationError, a text past the bound of what one presentation
// gives, a server that does not quit after a clean read (or the read of a damaged file that gives part
// of its text), or one that is gone after a failed read. The same input is then read with the notes,
// tables and groups, diagrams, charts, comments and pictures as well, hidden slides marked
// (ForEachShapeText).
#include "MemoryFile.h"

#include "import/PresentationText.h"
#include "import/ShapeTexts.h"
#include "office/AutomationError.h"
#include "office/presentation/LocalPresentationServer.h"
#include "office/presentation/PresentationDocument.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvane;
    static fuzz::MemoryFile file;
    const QString& path = file.hold(data, size);
    // A server of its own for each input: a failure leaves it running with the presentation open.
    office::LocalPresentationServer server;
    try {
        const QString text = import::PresentationText(server, path);
        if (text.size() > office::ReadBudget::MaxText || server.running() != nullptr)
            std::abort();
    } catch (const office::PartialReadError& damaged) {
        // A damaged file that gave part of its text was read to its end: the server has quit.
        if (damaged.text().size() > office::ReadBudget::MaxText || server.running() != nullptr)
            std::abort();
    } catch (const office::AutomationError&) {
        const auto running = server.running();
        if (running == nullptr || running->presentationsCount() > 1)
            std::abort();
    }
    // The same presentation read with everything the command line can ask for besides: the shapes
    // with text frames are the same, and nothing read passes the bound.
    office::LocalPresentationServer extras;
    try {
        qsizetype text = 0;
        const import::TextChoice everything{.notes = true,
                                            .tables = true,
                                            .groups = true,
                                            .smartart = true,
                                            .charts = true,
                                            .comments = true,
                                            .alt = true,
                                            .markHidden = true};
        import::ForEachShapeText(extras, path, everything, [&](const import::ShapeText& shape) {
            text += shape.text.size() + 2;
            for (const QString& cell : shape.cells)
                text += cell.size() + 2;
        });
        if (text > office::ReadBudget::MaxText || extras.running() != nullptr)
            std::abort();
    } catch (const office::PartialReadError&) {
        if (extras.running() != nullptr)
            std::abort();
    } catch (const office::AutomationError&) {
        if (extras.running() == nullptr)
            std::abort();
    }
    return 0;
}
