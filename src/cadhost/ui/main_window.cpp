// The main window: menus, view, command window, status bar and opening drawings.
#include "cadhost/ui/main_window.h"

#include "cadhost/ui/command_line_widget.h"
#include "cadhost/ui/drawing_view.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>

namespace vexilo::cadhost {

namespace {

const QString kProgram = QStringLiteral("vexilo-cad");

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    m_commandLine =
        std::make_unique<CommandLine>(m_broker, *this, [this](std::function<void()> task) {
            QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
        });
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

    m_coordinates = new QLabel;
    m_coordinates->setMinimumWidth(320);
    m_ucsLabel = new QLabel;
    m_snapLabel = new QLabel;
    statusBar()->addWidget(m_coordinates);
    statusBar()->addPermanentWidget(m_ucsLabel);
    statusBar()->addPermanentWidget(m_snapLabel);

    connect(m_view, &DrawingView::cursorMoved, this, &MainWindow::showCursor);
    m_commandLine->setChangeListener([this] { commandLineChanged(); });
    commandLineChanged();
    ucsChanged();
    updateTitle();
    resize(1200, 800);
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
    // The picture is shown at once; the summary, which counts what the spatial index leaves
    // out, waits for the index being built meanwhile.
    m_view->repaint();
    m_commandLine->print(loadSummary(*m_document));
    return {};
}

void MainWindow::alert(const std::string& message) {
    QMessageBox::warning(this, kProgram, QString::fromStdString(message));
}

void MainWindow::chooseDrawing() {
    const QString path = QFileDialog::getOpenFileName(this, tr("Open drawing"), QString(),
                                                      tr("DXF drawings (*.dxf *.DXF)"));
    if (!path.isEmpty()) {
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
    const bool on = m_commandLine->snaps().enabled;
    m_snapAction->setChecked(on);
    m_snapLabel->setText(on ? tr("OSNAP on") : tr("OSNAP off"));
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
