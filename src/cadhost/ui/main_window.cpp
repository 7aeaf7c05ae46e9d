// The main window: menus, view, command window, status bar and opening drawings.
#include "cadhost/ui/main_window.h"

#include "cadhost/ui/command_line_widget.h"
#include "cadhost/ui/drawing_view.h"
#include "cadhost/ui/snap_settings_dialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QUrl>

namespace vexilo::cadhost {

namespace {

const QString kProgram = QStringLiteral("vexilo-cad");
const QString kOpenFolderKey = QStringLiteral("openFolder");

QSettings settings() {
    return QSettings(QSettings::UserScope, QStringLiteral("vexilo"), QStringLiteral("vexilo-cad"));
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    m_commandLine =
        std::make_unique<CommandLine>(m_broker, *this, [this](std::function<void()> task) {
            QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
        });
    m_keptSnaps = loadSnapSettings();
    m_commandLine->setSnaps(m_keptSnaps);
    m_view = new DrawingView(*m_commandLine);
    m_commandWidget = new CommandLineWidget(*m_commandLine);
    m_view->setKeyTarget(m_commandWidget->input());

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_view);
    splitter->addWidget(m_commandWidget);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({640, 130});
    setCentralWidget(splitter);

    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* open = file->addAction(tr("&Open..."), this, &MainWindow::chooseDrawing);
    open->setShortcut(QKeySequence::Open);
    file->addSeparator();
    QAction* quit = file->addAction(tr("E&xit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);

    QMenu* viewMenu = menuBar()->addMenu(tr("&View"));
    viewMenu->addAction(tr("Zoom &Extents"), this, &MainWindow::zoomExtents);
    m_snapAction = viewMenu->addAction(tr("Object &Snap"));
    m_snapAction->setCheckable(true);
    m_snapAction->setShortcut(Qt::Key_F3);
    m_snapAction->setShortcutContext(Qt::WindowShortcut);
    connect(m_snapAction, &QAction::triggered, this, [this] { m_commandLine->toggleSnaps(); });
    viewMenu->addAction(tr("Object Snap Se&ttings..."), this, &MainWindow::editSnaps);

    m_coordinates = new QLabel;
    m_coordinates->setMinimumWidth(320);
    m_ucsLabel = new QLabel;
    m_snapLabel = new QLabel;
    m_snapLabel->setObjectName(QStringLiteral("snapStatus"));
    statusBar()->addWidget(m_coordinates);
    statusBar()->addPermanentWidget(m_ucsLabel);
    statusBar()->addPermanentWidget(m_snapLabel);

    connect(m_view, &DrawingView::cursorMoved, this, &MainWindow::showCursor);
    // The spatial index is built once the drawing is on the screen, so that the first frame has
    // both cores; a pick or snap that comes earlier builds it (or waits for it).
    connect(m_view, &DrawingView::firstPictureShown, this, [this] {
        if (m_document != nullptr) {
            m_document->index.start();
        }
    });
    m_commandLine->setChangeListener([this] { commandLineChanged(); });
    commandLineChanged();
    ucsChanged();
    updateTitle();
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        setGeometry(firstWindowGeometry(screen->availableGeometry()));
    }
    setAcceptDrops(true);
    m_commandWidget->input()->setFocus();
}

MainWindow::~MainWindow() {
    // The view and the command window refer to the command line: they go first.
    m_commandLine->setChangeListener(nullptr);
    delete centralWidget();
}

const Drawing* MainWindow::drawing() const {
    return m_document ? m_document->drawing.get() : nullptr;
}

int MainWindow::windowState() const {
    if (isMinimized()) {
        return 2;
    }
    if (isMaximized()) {
        return 3;
    }
    return 1;
}

void MainWindow::setWindowState(int state) {
    switch (state) {
    case 1:
        showNormal();
        break;
    case 2:
        showMinimized();
        return;
    case 3:
        showMaximized();
        break;
    default:
        return;
    }
    raise();
    activateWindow();
}

double MainWindow::pickHalfSize() const {
    return m_view->pickHalfSize();
}

void MainWindow::zoomExtents() {
    m_view->zoomExtents();
}

void MainWindow::setDocument(std::unique_ptr<OpenDocument> document) {
    // The view lets go of the old drawing before it is freed.
    m_view->setDocument(document.get());
    m_document = std::move(document);
    updateTitle();
    ucsChanged();
}

Status<dxf::DxfFailure> MainWindow::openDrawing(const std::string& path) {
    auto opened = openDocument(path);
    if (!opened) {
        return unexpected(opened.error());
    }
    setDocument(std::move(*opened));
    rememberFolder(QString::fromStdString(path));
    // The picture is shown at once; the summary, which counts what the spatial index leaves
    // out, waits for the index, started once the picture was shown.
    m_view->repaint();
    m_commandLine->print(loadSummary(*m_document));
    return {};
}

void MainWindow::rememberFolder(const QString& path) {
    settings().setValue(kOpenFolderKey, QFileInfo(path).absolutePath());
}

QString MainWindow::openFolder() const {
    if (m_document != nullptr && !m_document->path.empty()) {
        return QFileInfo(QString::fromStdString(m_document->path)).absolutePath();
    }
    const QString last = settings().value(kOpenFolderKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir()) {
        return last;
    }
    return QDir::homePath();
}

QRect MainWindow::firstWindowGeometry(const QRect& available) {
    constexpr double kShare = 0.8;
    const QSize size(static_cast<int>(available.width() * kShare),
                     static_cast<int>(available.height() * kShare));
    QRect geometry(QPoint(), size);
    geometry.moveCenter(available.center());
    return geometry;
}

QString MainWindow::droppedDrawing(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) {
        return {};
    }
    for (const QUrl& url : mime->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && path.endsWith(QStringLiteral(".dxf"), Qt::CaseInsensitive)) {
            return path;
        }
    }
    return {};
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedDrawing(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = droppedDrawing(event->mimeData());
    if (path.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    // The message box of a failure must not run inside the drag source's event.
    QMetaObject::invokeMethod(
        this, [this, path] { m_commandLine->openDrawing(path.toStdString()); },
        Qt::QueuedConnection);
}

void MainWindow::alert(const std::string& message) {
    QMessageBox::warning(this, kProgram, QString::fromStdString(message));
}

void MainWindow::chooseDrawing() {
    const QString path = QFileDialog::getOpenFileName(this, tr("Open drawing"), openFolder(),
                                                      tr("DXF drawings (*.dxf *.DXF)"));
    if (!path.isEmpty()) {
        // The folder chosen is where the next Open starts, even if this file cannot be read.
        rememberFolder(path);
        m_commandLine->openDrawing(path.toStdString());
    }
}

void MainWindow::ucsChanged() {
    const bool world = m_document == nullptr || m_document->drawing->ucs().isWorld();
    m_ucsLabel->setText(world ? tr("UCS: World") : tr("UCS: User"));
    m_view->refreshCursor();
}

// The status bar shows the point a click would give, in the current UCS.
void MainWindow::showCursor(double x, double y, double z) {
    if (m_document == nullptr) {
        m_coordinates->clear();
        return;
    }
    const Vec3 user = wcsToUcs({x, y, z}, m_document->drawing->ucs());
    m_coordinates->setText(QStringLiteral("%1, %2, %3")
                               .arg(user.x, 0, 'f', 4)
                               .arg(user.y, 0, 'f', 4)
                               .arg(user.z, 0, 'f', 4));
}

void MainWindow::commandLineChanged() {
    m_commandWidget->refresh();
    m_view->refreshCursor();
    const SnapSettings& snaps = m_commandLine->snaps();
    m_snapAction->setChecked(snaps.enabled);
    m_snapLabel->setText(QString::fromStdString(snapStatusText(snaps)));
    if (snaps != m_keptSnaps) {
        saveSnapSettings(snaps);
        m_keptSnaps = snaps;
    }
}

void MainWindow::editSnaps() {
    SnapSettingsDialog dialog(m_commandLine->snaps(), this);
    if (dialog.exec() == QDialog::Accepted) {
        m_commandLine->setSnaps(dialog.settings());
    }
}

void MainWindow::updateTitle() {
    if (m_document == nullptr) {
        setWindowTitle(kProgram);
        return;
    }
    setWindowTitle(kProgram + QStringLiteral(" — ") +
                   QString::fromStdString(fileNameOf(m_document->path)));
}

// A client still waiting when the window closes gets the cancel code rather than no answer.
void MainWindow::closeEvent(QCloseEvent* event) {
    m_broker.cancel();
    QMainWindow::closeEvent(event);
}

} // namespace vexilo::cadhost
