#pragma once

#include <QString>

#include <memory>

namespace quorvane::office {

// The members of the presentation server that the program calls. Every member may throw
// AutomationError; the caller reports it. Slides and shapes are numbered from 1, and every access
// goes down from the active presentation, as the automation surface does: no slide or shape object
// is kept between calls.
class PresentationApplication {
public:
    virtual ~PresentationApplication() = default;

    virtual void setVisible(bool visible) = 0;
    virtual bool visible() const = 0;

    // Presentations.Open(fileName:=path): opens the file; it becomes the active presentation.
    virtual void open(const QString& fileName) = 0;

    // ActivePresentation.Slides.count
    virtual int slidesCount() = 0;
    // ActivePresentation.Slides(slide).Shapes.count
    virtual int shapesCount(int slide) = 0;
    // ActivePresentation.Slides(slide).Shapes(shape).HasTextFrame (non-zero when it can hold text)
    virtual int hasTextFrame(int slide, int shape) = 0;
    // ActivePresentation.Slides(slide).Shapes(shape).TextFrame.TextRange.Text
    virtual QString shapeText(int slide, int shape) = 0;
    // ActivePresentation.Save
    virtual void saveActive() = 0;
    // Quit: ends the server and closes every presentation it holds.
    virtual void quit() = 0;
};

// Reaching the server: Create starts an instance (or yields the running one, since there is one per
// process); Attach yields the running instance and fails when none runs. Release is dropping the
// shared pointer.
class PresentationServer {
public:
    virtual ~PresentationServer() = default;
    virtual std::shared_ptr<PresentationApplication> create() = 0;
    virtual std::shared_ptr<PresentationApplication> attach() = 0;
};

} // namespace quorvane::office
