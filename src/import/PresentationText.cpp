#include "import/PresentationText.h"

#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvane::import {

QString PresentationText(office::PresentationServer& server, const QString& path) {
    // Start (or reuse) the server and show it, then work through the attached reference from then on.
    server.create()->setVisible(true);
    const std::shared_ptr<office::PresentationApplication> application = server.attach();
    application->open(path);

    QString text;
    // The counts are read once; every access goes down from the active presentation again.
    const int slides = application->slidesCount();
    for (int slide = 1; slide <= slides; ++slide) {
        const int shapes = application->shapesCount(slide);
        for (int shape = 1; shape <= shapes; ++shape) {
            if (application->hasTextFrame(slide, shape) != 0) {
                text += application->shapeText(slide, shape);
                text += u"\r\n"_s;
            }
        }
    }
    // A damaged file gives what survived of it; the read ends as any other, and then fails with it.
    std::optional<office::PresentationDamage> damage = application->damage();
    application->saveActive();
    application->quit();
    if (damage)
        throw office::PartialReadError(std::move(*damage), text);
    return text;
}

} // namespace quorvane::import
