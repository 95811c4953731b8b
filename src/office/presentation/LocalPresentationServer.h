#pragma once

#include "office/PresentationServer.h"
#include "office/presentation/DocumentPrefetch.h"
#include "office/presentation/PresentationDocument.h"

#include <QString>

#include <memory>
#include <vector>

namespace quorvane::office {

// The presentation server of this program: it reads presentation files itself and answers the members
// the program calls. Presentations are only ever read: Save writes nothing, since reading never
// changes a presentation, and a file the user only asked us to read must not be put at risk.
class LocalPresentationApplication final : public PresentationApplication {
public:
    // prefetch, when given, holds the presentations read ahead; Open takes them from it.
    explicit LocalPresentationApplication(std::shared_ptr<DocumentPrefetch> prefetch = nullptr)
        : m_prefetch(std::move(prefetch)) {}

    void setVisible(bool visible) override;
    bool visible() const override;
    void open(const QString& fileName) override;
    int slidesCount() override;
    int shapesCount(int slide) override;
    int hasTextFrame(int slide, int shape) override;
    QString shapeText(int slide, int shape) override;
    QString shapeName(const ShapeRef& shape) override;
    ShapeKind shapeKind(const ShapeRef& shape) override;
    int itemHasTextFrame(const ShapeRef& shape) override;
    QString itemText(const ShapeRef& shape) override;
    int groupItemsCount(int slide, int shape) override;
    int tableRowsCount(const ShapeRef& shape) override;
    int tableColumnsCount(const ShapeRef& shape) override;
    QString tableCellText(const ShapeRef& shape, int row, int column) override;
    QString notesText(int slide) override;
    bool slideHidden(int slide) override;
    QStringList graphicTexts(const ShapeRef& shape) override;
    QString alternativeText(const ShapeRef& shape) override;
    std::vector<SlideComment> comments(int slide) override;
    std::optional<PresentationDamage> damage() override;
    void saveActive() override;
    void quit() override;

    // Where Open takes the passwords of protected presentations from (see PresentationServer).
    void setPasswords(std::shared_ptr<PasswordSource> passwords) { m_passwords = std::move(passwords); }

    // Whether Quit has not been called yet.
    bool running() const { return m_running; }
    // Presentations.Count: the presentations held open.
    int presentationsCount() const { return static_cast<int>(m_presentations.size()); }
    // The path of the active presentation ("" when none is open).
    QString activePath() const;

private:
    struct OpenPresentation {
        QString path;
        // Null once a read of it has failed: it stays in the collection, but its file and what was
        // parsed of it are given back at once (a run may meet hundreds of damaged files), and every
        // later read fails with the same reason.
        std::unique_ptr<PresentationDocument> document;
        QString failure;
    };
    void requireRunning() const;
    // A protected presentation that the passwords known did not open (refused): the passwords again
    // when they changed since, then each one the source gives when asked, until one opens it.
    std::unique_ptr<PresentationDocument> openAsking(const QString& fileName, const PasswordError& refused);
    OpenPresentation& active();
    // The active presentation's document; throws its failure once a read has failed.
    PresentationDocument& activeDocument();
    // The active presentation's document, when it has that slide; else fails naming the file.
    PresentationDocument& documentWithSlide(int slide);
    const std::vector<ShapeInfo>& shapesOf(int slide);
    const ShapeInfo& shapeAt(int slide, int shape);
    // The shape or group item that ref names.
    const ShapeInfo& shapeAt(const ShapeRef& ref);
    // The group items of a group: its shapes, nested groups entered, depth first.
    const std::vector<const ShapeInfo*>& groupItemsOf(int slide, int shape);
    // Throws the failure of the active presentation, as for a failed read of its slides.
    template <typename Read> decltype(auto) keepingFailure(Read&& read);

    // The group items of the group walked last, by the document and slide they were read from: a
    // slide's shapes stay in place while no other slide is read.
    std::vector<const ShapeInfo*> m_items;
    const PresentationDocument* m_itemsDocument = nullptr;
    int m_itemsSlide = 0, m_itemsShape = 0;

    std::shared_ptr<DocumentPrefetch> m_prefetch;
    std::shared_ptr<PasswordSource> m_passwords;
    bool m_running = true;
    bool m_visible = false;
    // In opening order; the last one is the active presentation.
    std::vector<OpenPresentation> m_presentations;
};

// Reaching the server: one instance runs at a time for each LocalPresentationServer (build one per
// process, in main). Create yields the running instance or starts one; Attach fails when none runs;
// an instance that has quit is gone for both.
class LocalPresentationServer final : public PresentationServer {
public:
    // jobs: how many presentations are read at a time. With more than one, that many threads read
    // the hinted presentations ahead (see prepare); with one, every presentation is read when it is
    // opened, on the caller's thread.
    explicit LocalPresentationServer(int jobs = 1);
    // The same with the read-ahead's settings (its workers are the jobs).
    explicit LocalPresentationServer(DocumentPrefetch::Settings readAhead);

    std::shared_ptr<PresentationApplication> create() override;
    std::shared_ptr<PresentationApplication> attach() override;
    void prepare(const QStringList& paths) override;
    int lookahead() const override;
    void whileWaiting(std::function<void()> poll) override;
    void usePasswords(std::shared_ptr<PasswordSource> passwords) override;

    // How many presentations are read at a time: the jobs asked for, fewer when the system gave
    // fewer threads to read ahead, and 1 when it gave none.
    int jobs() const;
    // Whether jobs were asked for that no thread could be started for at all (reading goes on
    // one presentation at a time, on the caller's thread).
    bool readAheadRefused() const { return m_refused; }

    // The processors this process may run on (at least 1): the number of jobs that uses them all.
    static int coreCount();

    // The running instance, or null.
    std::shared_ptr<LocalPresentationApplication> running() const;

private:
    std::shared_ptr<DocumentPrefetch> m_prefetch; // null with one job
    bool m_refused = false;
    std::shared_ptr<PasswordSource> m_passwords;
    std::shared_ptr<LocalPresentationApplication> m_instance;
};

} // namespace quorvane::office
