// vexilo-cad's main window: the drawing view, the command window and the status bar; the host
// that the automation service and the command line act on.
#pragma once

#include "cadhost/commandline/command_line.h"
#include "cadhost/requests/automation_host.h"

#include <QMainWindow>

#include <memory>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QMimeData;

namespace vexilo::cadhost {

class CommandLineWidget;
class DrawingView;

/// The window of vexilo-cad. Title "vexilo-cad — <file name>". It owns the open drawing, the
/// waiting request (RequestBroker) and the command line, and implements what the automation
/// service needs (AutomationHost) and what the commands need (CommandTarget).
///
/// It first opens at firstWindowGeometry() of the screen under the mouse pointer, and opens a
/// .dxf file dropped on it. File > Open starts in openFolder(). The running object snaps come
/// from the user's settings of the last run and are kept there whenever they change; the
/// status bar names them.
class MainWindow : public QMainWindow, public AutomationHost, public CommandTarget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // ---- AutomationHost ----
    const Drawing* drawing() const override;
    /// 1 normal, 2 minimised, 3 maximised.
    int windowState() const override;
    /// 1 shows the window normal, 2 minimises it, 3 maximises it; other values do nothing.
    void setWindowState(int state) override;
    RequestBroker& requests() override { return m_broker; }

    // ---- CommandTarget ----
    OpenDocument* document() override { return m_document.get(); }
    double pickHalfSize() const override;
    void zoomExtents() override;
    /// Reads the DXF file; on failure shows the error in a message box and keeps the drawing
    /// it had. On success the command history tells the entity and skipped counts.
    Status<dxf::DxfFailure> openDrawing(const std::string& path) override;
    void ucsChanged() override;
    void alert(const std::string& message) override;
    /// OSNAP's dialog (SnapSettingsDialog); the running snaps change when it is accepted.
    void editSnaps() override;

    /// Shows a drawing that is already read (tests, tools).
    void setDocument(std::unique_ptr<OpenDocument> document);

    /// The folder File > Open starts in: the open drawing's, else the one a drawing was last
    /// opened from (kept in the user's settings), else the home folder.
    QString openFolder() const;
    /// Where the window first opens on a screen whose free area is `available`: 80 % of it
    /// each way, centred, so that the command line stays on a small or scaled screen.
    static QRect firstWindowGeometry(const QRect& available);
    /// The local .dxf file of a drag, or an empty string when it carries none.
    static QString droppedDrawing(const QMimeData* mime);

    CommandLine& commandLine() { return *m_commandLine; }
    DrawingView* view() const { return m_view; }
    CommandLineWidget* commandLineWidget() const { return m_commandWidget; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void chooseDrawing();
    void showCursor(double x, double y, double z);
    void commandLineChanged();
    void updateTitle();
    void rememberFolder(const QString& path);

    RequestBroker m_broker;
    std::unique_ptr<OpenDocument> m_document;
    std::unique_ptr<CommandLine> m_commandLine;
    DrawingView* m_view = nullptr;
    CommandLineWidget* m_commandWidget = nullptr;
    QLabel* m_coordinates = nullptr;
    QLabel* m_ucsLabel = nullptr;
    QLabel* m_snapLabel = nullptr;
    QAction* m_snapAction = nullptr;
    // The running snaps as last kept in the user's settings.
    SnapSettings m_keptSnaps;
};

} // namespace vexilo::cadhost
