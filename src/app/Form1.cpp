#include "app/Form1.h"

#include "app/AppError.h"
#include "app/FileListView.h"
#include "app/Form1Controls.h"
#include "app/ImportChoicesBar.h"
#include "app/Placement.h"
#include "app/TextProgressBar.h"
#include "shell/Guard.h"
#include "shell/Locations.h"
#include "shell/Product.h"
#include "shell/PromptedPasswords.h"

#include "filelist/AddFiles.h"
#include "filelist/FolderCommands.h"
#include "filelist/Reorder.h"
#include "import/RowLayout.h"
#include "import/SpreadsheetChecks.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStringDecoder>

#include <cmath>
#include <limits>

// The window's icon lives in the resources of a static library: nothing refers to them, so they
// are registered here (the macro must stand outside any namespace).
static void initResources() {
    Q_INIT_RESOURCE(quorvane);
}

namespace quorvane::app {

using namespace Qt::StringLiterals;

namespace {

// Twips per inch: positions and sizes of the layout are given in twips.
constexpr int TwipsPerInch = 1440;

// True when the file system can report path's modification time; never fails.
bool FileExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

// A Windows cursor file as a cursor. Qt's image plugins read the picture; the hotspot sits in the
// file's first directory entry (bytes 10 to 13, little-endian), which they do not report.
QCursor loadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    const QByteArray head = file.read(14);
    file.close();
    QImageReader reader(path, "ico");
    const QImage image = reader.read();
    if (head.size() < 14 || image.isNull())
        throw AppError(QStringLiteral("%1: not a readable cursor file").arg(path));
    const auto word = [&head](int at) {
        return static_cast<unsigned char>(head[at]) | (static_cast<unsigned char>(head[at + 1]) << 8);
    };
    const bool isCursor = word(2) == 2;
    const QPoint hotspot = isCursor ? QPoint(word(10), word(12)) : QPoint(-1, -1);
    return QCursor(QPixmap::fromImage(image), hotspot.x(), hotspot.y());
}

// The whole content of a UTF-8 text file; fails naming the file when it cannot be read or is not
// valid UTF-8.
QString readUtf8File(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        throw AppError(QStringLiteral("%1: not valid UTF-8 text").arg(path));
    return text;
}

} // namespace

Form1::Form1(shell::Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_services(services), m_importRun(services, *this) {
    setObjectName(u"Form1"_s);
    initResources();
    QFont font(u"Arial"_s);
    font.setPointSizeF(9);
    font.setBold(true);
    setFont(font);
    setAutoFillBackground(true);
    setMouseTracking(true);
    // The controls stand on a page of the fixed design size, inside a scroll area without a frame
    // that fills the window: where the window fits the screen the two are the same size and nothing
    // scrolls.
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setObjectName(u"Scroller"_s);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setFocusPolicy(Qt::NoFocus); // no stop of its own: it scrolls to the control that has the focus
    m_page = new QWidget;
    m_page->setObjectName(u"Page"_s);
    m_page->setAutoFillBackground(true);
    m_page->setFixedSize(pixels(QRect(0, 0, 8040, 8070)).size());
    // Placed before the controls exist: placing it later would take away the focus they were given.
    m_scrollArea->setWidget(m_page);
    // The one addition to the window's frame: the menu bar above the page.
    m_menuBar = new ImportChoicesBar(m_services.settings, this);
    createControls();
    setHoverShape(m_page, shell::PointerShape::Default); // the window's background
    // White design colours; the skin replaces them with the button face.
    setCaptionColours(Qt::white, Qt::black);
    fitToScreen();
}

void Form1::fitToScreen() {
    // Fixed single-line border: neither the user nor the layout changes the size. It is the design
    // size, unless that does not fit the screen's available area with the window's frame: then the
    // window is as large as fits, and scroll bars reach the rest.
    const int bar = m_menuBar->sizeHint().height();
    const QSize design = m_page->size() + QSize(0, bar);
    QSize client = design;
    const QScreen* screen = this->screen();
    const QMargins frame = expectedFrame(this);
    if (screen) {
        const QSize room = screen->availableGeometry().size().shrunkBy(frame);
        const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scrollArea);
        // A scroll bar for one direction takes room from the other, which may then need one too.
        bool across = false, down = false;
        for (int pass = 0; pass < 2; ++pass) {
            down = design.height() + (across ? scrollBar : 0) > room.height();
            across = design.width() + (down ? scrollBar : 0) > room.width();
        }
        client =
            QSize(design.width() + (down ? scrollBar : 0), design.height() + (across ? scrollBar : 0)).boundedTo(room);
        client = client.expandedTo(QSize(1, 1));
    }
    setFixedSize(client);
    m_menuBar->setGeometry(0, 0, client.width(), bar);
    m_scrollArea->setGeometry(0, bar, client.width(), client.height() - bar);
    // Centred on the screen; a window that still does not fit keeps its title bar on the screen.
    if (screen)
        move(centredOn(screen->availableGeometry(), size(), frame));
}

Form1::~Form1() = default;

QRect Form1::pixels(QRect twips) const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpiX = screen ? screen->logicalDotsPerInchX() : 96.0;
    const double dpiY = screen ? screen->logicalDotsPerInchY() : 96.0;
    const auto x = [dpiX](int t) { return static_cast<int>(std::lround(t * dpiX / TwipsPerInch)); };
    const auto y = [dpiY](int t) { return static_cast<int>(std::lround(t * dpiY / TwipsPerInch)); };
    return QRect(x(twips.x()), y(twips.y()), x(twips.width()), y(twips.height()));
}

QPushButton* Form1::addButton(const QString& name, const QString& caption, QRect twips) {
    const bool tall = twips.height() > 1000;
    QPushButton* button = tall ? new MoveButton(caption, m_page) : new QPushButton(caption, m_page);
    button->setObjectName(name);
    QFont font(u"Arial"_s);
    font.setPointSizeF(11.25);
    font.setBold(true);
    button->setFont(font);
    button->setGeometry(pixels(twips));
    button->setAutoDefault(false);
    setHoverShape(button, shell::PointerShape::Custom);
    return button;
}

QRadioButton* Form1::addOption(QWidget* frame, const QString& name, const QString& caption, QRect twips) {
    auto* option = new QRadioButton(caption, frame);
    option->setObjectName(name);
    option->setGeometry(pixels(twips));
    setHoverShape(option, shell::PointerShape::Default);
    return option;
}

void Form1::setHoverShape(QWidget* control, shell::PointerShape shape) {
    m_hoverShapes.insert(control, shape);
    control->setMouseTracking(true);
    // The rule of the control under the pointer decides; the move must not reach the frame or the
    // window behind it, whose rule would undo it.
    control->setAttribute(Qt::WA_NoMousePropagation);
    control->installEventFilter(this);
}

void Form1::createControls() {
    createMoveButtons();
    createSheetOptions();
    createSeparationOptions();
    createListAndProgress();
    // Each push button's caption has a mnemonic (Alt and the underlined letter).
    PushButton1 = addButton(u"PushButton1"_s, u"&Add PowerPoint File(s)"_s, {120, 2760, 3840, 405});
    PushButton4 = addButton(u"PushButton4"_s, u"Add All File(s) In &Folder"_s, {4080, 2760, 3840, 405});
    PushButton2 = addButton(u"PushButton2"_s, u"&Start Importing PowerPoint Files"_s, {120, 7050, 7800, 405});
    PushButton6 = addButton(u"PushButton6"_s, u"&Clear List"_s, {120, 3270, 3840, 405});
    PushButton9 = addButton(u"PushButton9"_s, u"&Load Sample/Example Files"_s, {4080, 3270, 3840, 405});

    // The keyboard goes through the window from top to bottom: the list, the buttons below it and the
    // move buttons, Clear List, each option group (its chosen option; the arrow keys move within
    // it), the text box and Start. The list has the focus first.
    const QList<QWidget*> tabOrder{ListView1,   PushButton1, PushButton4, PushButton9, PushButton3, PushButton5,
                                   PushButton6, Option5,     Option6,     Option1,     Option2,     Option3,
                                   Option4,     Option7,     Text1,       PushButton2};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    ListView1->setFocus(Qt::OtherFocusReason);

    connectClick(PushButton1, &Form1::PushButton1_Click);
    connectClick(PushButton2, &Form1::PushButton2_Click);
    connectClick(PushButton3, &Form1::PushButton3_Click);
    connectClick(PushButton4, &Form1::PushButton4_Click);
    connectClick(PushButton5, &Form1::PushButton5_Click);
    connectClick(PushButton6, &Form1::PushButton6_Click);
    connectClick(PushButton9, &Form1::PushButton9_Click);
}

void Form1::createMoveButtons() {
    PushButton5 = addButton(u"PushButton5"_s, u"Move &Down"_s, {7080, 1440, 840, 1200});
    PushButton5->setIcon(arrowIcon(false));
    PushButton5->setIconSize({32, 32});
    PushButton3 = addButton(u"PushButton3"_s, u"Move &Up"_s, {7080, 120, 840, 1200});
    PushButton3->setIcon(arrowIcon(true));
    PushButton3->setIconSize({32, 32});
}

QGroupBox* Form1::addFrame(const QString& name, const QString& caption, QRect twips) {
    auto* frame = new Frame(caption, m_page);
    frame->setObjectName(name);
    frame->setGeometry(pixels(twips));
    setHoverShape(frame, shell::PointerShape::Default);
    return frame;
}

void Form1::createSheetOptions() {
    Frame2 = addFrame(u"Frame2"_s, u"Import Options"_s, {120, 3750, 7800, 1035});
    Option6 =
        addOption(Frame2, u"Option6"_s, u"Import all PowerPoint files to individual sheets and name sheets by file"_s,
                  {240, 650, 6615, 255});
    Option5 =
        addOption(Frame2, u"Option5"_s, u"Import all PowerPoint files to a single sheet"_s, {240, 300, 5655, 255});
    Option5->setChecked(true);
}

void Form1::createSeparationOptions() {
    Frame1 = addFrame(u"Frame1"_s, u"Column Separation Options"_s, {120, 4830, 7800, 2100});
    Option7 = addOption(Frame1, u"Option7"_s, u"Create a new column in Excel for every tab in PowerPoint file"_s,
                        {240, 1700, 5715, 255});
    Option1 = addOption(Frame1, u"Option1"_s, u"Do not create new columns in Excel by specific character"_s,
                        {240, 300, 5655, 255});
    Option1->setChecked(true);
    Option2 = addOption(Frame1, u"Option2"_s, u"Create a new column in Excel for every space in PowerPoint file"_s,
                        {240, 650, 6615, 255});
    Option3 = addOption(Frame1, u"Option3"_s, u"Create a new column in Excel for every comma in PowerPoint file"_s,
                        {240, 1000, 6615, 255});
    Option4 = addOption(Frame1, u"Option4"_s, u"Create a new column in Excel for every X in PowerPoint file"_s,
                        {240, 1350, 5355, 255});
    Text1 = new QLineEdit(u"Text1"_s, Frame1);
    Text1->setObjectName(u"Text1"_s);
    Text1->setGeometry(pixels({5640, 1305, 1455, 330}));
    Text1->setMaxLength(std::numeric_limits<int>::max());
    Text1->setAttribute(Qt::WA_NoMousePropagation); // no pointer rule over the text box
    // Every change is stored at once, also the one the start-up restore makes.
    connect(Text1, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_services.settings.write(u"Text1"_s, text); });
}

void Form1::createListAndProgress() {
    ListView1 = new FileListView(*this, m_page);
    ListView1->setObjectName(u"ListView1"_s);
    ListView1->setGeometry(pixels({120, 120, 6850, 2535}));
    ListView1->setProgramFolder(m_services.programFolder);
    ListView1->setToolTip(u"Drag and drop files here. Double-click item to remove it. Move | line to right and out of "
                          u"window to reveal full names."_s);
    connect(ListView1, &FileListView::filesDropped, this, &Form1::ListView1_OLEDragDrop);

    ProgressBar1 = new TextProgressBar(m_page);
    ProgressBar1->setObjectName(u"ProgressBar1"_s);
    ProgressBar1->setGeometry(pixels({120, 7570, 7800, 375}));
    ProgressBar1->setRange(0, 10000); // hundredths of a percent: the run's value is not rounded
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setCaption(u"Progress Bar"_s);
    ProgressBar1->setAttribute(Qt::WA_NoMousePropagation); // no pointer rule over the bar
}

void Form1::connectClick(QPushButton* button, void (Form1::*handler)()) {
    connect(button, &QPushButton::clicked, this, [this, handler] {
        // A handler that yields stops there when the window closes; nothing may leave it towards
        // the event loop.
        try {
            (this->*handler)();
        } catch (const shell::OperationAborted&) {
        } catch (const std::exception& failure) {
            // The handlers report their own failures; whatever slips past them must still not
            // end the program.
            qWarning("%s", failure.what());
        }
    });
}

bool Form1::Form_Load() {
    shell::Guard g(m_services.errors, shell::location::FormLoad);
    const QString folder = m_services.programFolder;

    g.run(100, [&] {
        const QString skin = folder + u"/x/o.cjs"_s;
        if (QFileInfo::exists(skin))
            applySkin(skin);
    });
    if (g.test(104, [&] { return FileExists(folder + u"/HAND-M.CUR"_s); }))
        g.run(106, [&] { m_customCursor = loadCursorFile(folder + u"/HAND-M.CUR"_s); });
    g.run(108, [&] {
        // About one start in a hundred opens the home page, in the background.
        m_services.random.seedFromClock();
        const int n = static_cast<int>(std::floor(m_services.random.nextFraction() * 100)) + 1;
        if (n == 7 && !shell::homePageUrl().isEmpty())
            m_services.desktop.openUrl(shell::homePageUrl());
    });
    g.run(126, [&] {
        setWindowTitle(shell::productTitle());
        setWindowIcon(QIcon(u":/quorvane/quorvane.png"_s));
        m_services.applicationTitle = shell::applicationTitleFrom(shell::productTitle());
    });
    g.run(128, [&] { fileList().setHeaderText(u"PowerPoint File(s)"_s); });
    g.run(130, [&] { ListView1->header()->resizeSection(0, pixels({0, 0, 6500, 0}).width()); });
    g.run(132, [&] { Text1->setText(m_services.settings.read(u"Text1"_s, QString())); });
    g.run(132, [&] { m_menuBar->restore(); });
    bool creatable = true;
    g.assign(134, creatable, [&] {
        return import::CheckExcelCreatable(m_services.spreadsheets, m_services.prompts, m_services.applicationTitle);
    });
    return creatable;
}

void Form1::applySkin(const QString& path) {
    // The button face comes first, so a skin that then fails to load still leaves it; its captions
    // take the text colour that goes with it.
    const QPalette desktop = QApplication::palette();
    setCaptionColours(desktop.color(QPalette::Active, QPalette::Button),
                      desktop.color(QPalette::Active, QPalette::ButtonText));
    setStyleSheet(readUtf8File(path));
}

void Form1::setCaptionColours(const QColor& background, const QColor& text) {
    // The window, the frames and the option buttons have a background of their own, whatever the
    // desktop's colour scheme; their captions get a text colour of their own too, or a dark scheme's
    // light text would stand on white. The option buttons' circles are drawn in the same colours.
    // The list, the text box, the buttons and the progress bar keep the desktop's colours, in which
    // their text and background go together. Disabled (during a run) the captions are drawn halfway
    // between the text colour and the background, so that they look disabled on either.
    const QColor disabled =
        QColor::fromRgbF((text.redF() + background.redF()) / 2, (text.greenF() + background.greenF()) / 2,
                         (text.blueF() + background.blueF()) / 2);
    for (QWidget* widget :
         QList<QWidget*>{this, m_page, Frame1, Frame2, Option1, Option2, Option3, Option4, Option5, Option6, Option7}) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, background);
        palette.setColor(QPalette::WindowText, text);
        palette.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
        if (qobject_cast<QRadioButton*>(widget)) {
            palette.setColor(QPalette::Base, background);
            palette.setColor(QPalette::Text, text);
            palette.setColor(QPalette::Disabled, QPalette::Text, disabled);
        }
        widget->setPalette(palette);
    }
    // The others would inherit the window's colours from it; they keep the desktop's (the list's
    // header, for one, fills its empty end with the window colour).
    const QPalette desktop = QApplication::palette();
    for (QWidget* widget : QList<QWidget*>{m_menuBar, ListView1, Text1, ProgressBar1, PushButton1, PushButton2,
                                           PushButton3, PushButton4, PushButton5, PushButton6, PushButton9}) {
        QPalette palette = widget->palette();
        for (const QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText})
            for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                palette.setColor(group, role, desktop.color(group, role));
        widget->setPalette(palette);
    }
}

filelist::FileList& Form1::fileList() {
    return ListView1->fileList();
}

void Form1::setPointer(shell::PointerShape shape) {
    m_pointer = shape;
    switch (shape) {
    case shell::PointerShape::Busy:
        setCursor(Qt::WaitCursor);
        break;
    case shell::PointerShape::Custom:
        setCursor(m_customCursor.value_or(QCursor(Qt::PointingHandCursor)));
        break;
    default:
        setCursor(Qt::ArrowCursor);
        break;
    }
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    // The window background: the arrow, unless busy.
    if (m_pointer != shell::PointerShape::Busy)
        setPointer(shell::PointerShape::Default);
    QWidget::mouseMoveEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        // Enter and Return press a push button that has the focus, as Space does.
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button && button->isEnabled() && !key->isAutoRepeat() && key->modifiers() == Qt::NoModifier &&
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            button->click();
            return true;
        }
    }
    if (event->type() == QEvent::MouseMove && m_pointer != shell::PointerShape::Busy) {
        const auto rule = m_hoverShapes.constFind(watched);
        if (rule != m_hoverShapes.cend())
            setPointer(*rule);
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
    // Nothing is saved or asked; result windows stay open and keep the program running.
    event->accept();
    Q_EMIT closed();
}

// ---- Click handlers -------------------------------------------------------------------------

void Form1::PushButton1_Click() {
    filelist::PushButton1_Click(m_services, fileList());
}

void Form1::PushButton2_Click() {
    // The run yields, so other handlers run in the middle of it. Until it ends the list loses no entry
    // (entries may still be added), and the options keep the values it started with. What the run
    // would ignore (the options, a second start, Clear List) shows disabled for its length.
    if (m_importRun.running()) {
        m_importRun.PushButton2_Click(); // ignored by the run
        return;
    }
    const bool startHadFocus = PushButton2->hasFocus();
    // The run disables them once its start checks passed (setImportRunning), so that "No files
    // added." and the running-instance question come up over a window as it was. The menu
    // choices hold for the whole run, as the options do.
    m_runChoices = m_menuBar->choices();
    // A protected presentation asks for its password; what is given lasts for this run only.
    const auto passwords = std::make_shared<shell::PromptedPasswords>(m_services.prompts, m_services.applicationTitle);
    m_services.presentations.usePasswords(passwords);
    const auto finished = qScopeGuard([&] {
        m_services.presentations.usePasswords(nullptr);
        passwords->forget();
    });
    m_importRun.PushButton2_Click();
    if (startHadFocus && isActiveWindow())
        PushButton2->setFocus(Qt::OtherFocusReason);
}

void Form1::setImportRunning(bool running) {
    ListView1->setImportRunning(running);
    for (QWidget* control : QList<QWidget*>{m_menuBar, Frame1, Frame2, PushButton2, PushButton6})
        control->setEnabled(!running);
}

void Form1::PushButton3_Click() {
    shell::Guard g(m_services.errors, shell::location::PushButton3Click);
    filelist::moveUp(*ListView1, g);
}

void Form1::PushButton4_Click() {
    // Add All File(s) In Folder: the folder scan.
    filelist::PushButton4_Click(m_services, *this, fileList());
}

void Form1::PushButton5_Click() {
    shell::Guard g(m_services.errors, shell::location::PushButton5Click);
    filelist::moveDown(*ListView1, g);
}

void Form1::PushButton6_Click() {
    // Clear List does nothing while an import reads the list.
    if (m_importRun.running())
        return;
    shell::Guard g(m_services.errors, shell::location::PushButton6Click);
    g.run(100, [&] { fileList().Clear(); });
}

void Form1::PushButton9_Click() {
    // Load Sample/Example Files: the samples beside the program.
    filelist::PushButton9_Click(m_services, fileList());
}

void Form1::ListView1_OLEDragDrop(const QMimeData& dropped) {
    // Dropped files and folders. The data lives only while this runs: take the paths before any
    // yield.
    QStringList paths;
    const QList<QUrl> urls = dropped.urls();
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    // The walk yields; once the window has closed it stops there, and nothing may leave this
    // handler towards the event loop.
    try {
        filelist::appendDroppedItems(paths, fileList(), m_services.events, m_services.errors);
    } catch (const shell::OperationAborted&) {
    }
}

// ---- ImportWindow ---------------------------------------------------------------------------

int Form1::entryCount() {
    return fileList().Count();
}

QString Form1::entryText(int position) {
    return fileList().Text(position);
}

bool Form1::optionChecked(import::OptionButton option) {
    const QRadioButton* options[] = {Option1, Option2, Option3, Option4, Option5, Option6, Option7};
    const int n = static_cast<int>(option);
    // Rows laid out by the window are split there, their text only: the run splits nothing more.
    const bool separation = option != import::OptionButton::Option5 && option != import::OptionButton::Option6;
    if (separation && m_runChoices.layout.ownRows())
        return option == import::OptionButton::Option1;
    return n >= 1 && n <= 7 && options[n - 1]->isChecked();
}

QString Form1::presentationText(office::PresentationServer& server, const QString& path) {
    // Laid out here, the rows are split at the separation chosen, tested in the order the run tests it.
    using import::OptionButton;
    const std::pair<const QRadioButton*, OptionButton> separations[] = {{Option2, OptionButton::Option2},
                                                                        {Option3, OptionButton::Option3},
                                                                        {Option4, OptionButton::Option4},
                                                                        {Option7, OptionButton::Option7}};
    QString separator;
    for (const auto& [button, option] : separations) {
        if (button->isChecked()) {
            separator = import::separatorOf(option, Text1->text());
            break;
        }
    }
    return import::laidOutText(server, path, m_runChoices.layout, separator);
}

std::optional<std::vector<import::Column>> Form1::headerColumns() {
    const import::ImportChoices& chosen = m_runChoices;
    if (!chosen.header || chosen.layout.columns.empty())
        return std::nullopt;
    return chosen.layout.columns;
}

import::FailureLog* Form1::failureLog() {
    return m_runChoices.collectFailures ? &m_failures : nullptr;
}

QString Form1::text1() {
    return Text1->text();
}

void Form1::setProgressValue(double value) {
    m_progressValue = value;
    ProgressBar1->setValue(static_cast<int>(std::lround(std::clamp(value, 0.0, 100.0) * 100)));
}

void Form1::setProgressText(const QString& text) {
    ProgressBar1->setCaption(text);
}

} // namespace quorvane::app
