#pragma once

#include "shell/Pointer.h"
#include "shell/Services.h"

#include "import/ImportChoices.h"
#include "import/ImportRun.h"

#include <QCursor>
#include <QHash>
#include <QWidget>

#include <optional>

class QGroupBox;
class QLineEdit;
class QMimeData;
class QPushButton;
class QRadioButton;
class QScrollArea;

namespace quorvane::filelist {
class FileList;
}

namespace quorvane::app {

class FileListView;
class ImportChoicesBar;
class TextProgressBar;

// The main window: the file list with its buttons, the import options, the start button and the
// progress bar, below a menu bar with the choices beyond the option frames (ImportChoicesBar). Every
// control's member and objectName is its given name (PushButton1, Option4, ListView1, ...). A click
// handler reads the controls, calls one core routine with the services and shows the result; the
// routines live in filelist/ and import/.
class Form1 final : public QWidget, public import::ImportWindow {
    Q_OBJECT
public:
    // Creates every control, still invisible. services must outlive the window.
    explicit Form1(shell::Services& services, QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence, run once before the window is shown: skin, hand pointer, the home-page
    // chance, caption and application title, the list's column, the restored Text1 and menu choices,
    // and the check that a spreadsheet instance can be created. Failing steps are reported and
    // skipped. Returns false when the program must end without showing the window.
    bool Form_Load();

    // The click handlers of the seven buttons; guarded where the handler numbers its statements.
    void PushButton1_Click(); // Add PowerPoint File(s)
    void PushButton2_Click(); // Start Importing PowerPoint Files
    void PushButton3_Click(); // Move Up
    void PushButton4_Click(); // Add All File(s) In Folder
    void PushButton5_Click(); // Move Down
    void PushButton6_Click(); // Clear List
    void PushButton9_Click(); // Load Sample/Example Files
    // Local files or folders dropped on ListView1 from another program.
    void ListView1_OLEDragDrop(const QMimeData& dropped);

    filelist::FileList& fileList();
    shell::Services& services() { return m_services; }

    // PointerHost: the window's one pointer state (0 default, 11 busy, 99 custom), shown as its cursor.
    shell::PointerShape pointer() const override { return m_pointer; }
    void setPointer(shell::PointerShape shape) override;

    // ImportWindow
    int entryCount() override;
    QString entryText(int position) override;
    bool optionChecked(import::OptionButton option) override;
    QString text1() override;
    void setProgressValue(double value) override;
    void setProgressText(const QString& text) override;
    // What the run would ignore (the options, the menus, a second start, Clear List) shows disabled
    // while it runs.
    void setImportRunning(bool running) override;
    // The columns chosen, when the header row is chosen with them; nothing for the text alone.
    std::optional<std::vector<import::Column>> headerColumns() override;
    // The menu choices of the run under way (taken when it starts): the rows laid out as the
    // command line lays them out, and the failures collected when that is chosen.
    QString presentationText(office::PresentationServer& server, const QString& path) override;
    import::FailureLog* failureLog() override;
    // ProgressBar1's value as last set (not rounded).
    double progressValue() const { return m_progressValue; }

Q_SIGNALS:
    // The window was closed: the program ends, a long operation stops at its next yield.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMoveButtons();
    void createSheetOptions();
    void createSeparationOptions();
    void createListAndProgress();
    void fitToScreen();
    QPushButton* addButton(const QString& name, const QString& caption, QRect twips);
    QRadioButton* addOption(QWidget* frame, const QString& name, const QString& caption, QRect twips);
    QGroupBox* addFrame(const QString& name, const QString& caption, QRect twips);
    QRect pixels(QRect twips) const;
    void connectClick(QPushButton* button, void (Form1::*handler)());
    void applySkin(const QString& path);
    void setCaptionColours(const QColor& background, const QColor& text);
    void setHoverShape(QWidget* control, shell::PointerShape shape);

    shell::Services& m_services;
    import::ImportRun m_importRun;
    // The menu choices as the run under way took them, and its failures when it collects them.
    import::ImportChoices m_runChoices;
    import::FailureLog m_failures;
    shell::PointerShape m_pointer = shell::PointerShape::Default;
    // The image of HAND-M.CUR once start-up loaded it; without it the custom shape is the platform's
    // pointing hand.
    std::optional<QCursor> m_customCursor;
    // The pointer shape that moving over a control sets (unless busy).
    QHash<QObject*, shell::PointerShape> m_hoverShapes;
    double m_progressValue = 0;

    // The menu bar above the controls; the page that holds the controls, and the scroll area that
    // shows it.
    ImportChoicesBar* m_menuBar = nullptr;
    QScrollArea* m_scrollArea = nullptr;
    QWidget* m_page = nullptr;
    // The controls, in the order in which they are created.
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QRadioButton* Option6 = nullptr;
    QRadioButton* Option5 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QRadioButton* Option7 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option3 = nullptr;
    QRadioButton* Option4 = nullptr;
    QLineEdit* Text1 = nullptr;
    FileListView* ListView1 = nullptr;
    TextProgressBar* ProgressBar1 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton9 = nullptr;
};

} // namespace quorvane::app
