// The grid's context menu and its commands.
#include "app/grid_menu.h"

#include "app/coordinate_grid.h"
#include "app/form_cad.h"
#include "form/measure.h"
#include "form/table_clip.h"
#include "form/undo.h"
#include "survey/angles.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QStandardPaths>

#include <chrono>

namespace vexilo::app {
namespace {

QString qtText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QSettings settings() {
    return QSettings(QSettings::UserScope, QStringLiteral("vexilo"), QStringLiteral("vexilo"));
}

constexpr auto kLetterCodesKey = "letterCodeIncrement";
constexpr auto kFileFolderKey = "coordinateFileFolder";

/// The save dialog: format, point name and encoding, then the file.
std::optional<CoordinateFileChoice> askForFile(QWidget* parent, const QString& folder) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("导出坐标文件"));
    auto* format = new QComboBox(&dialog);
    format->addItems(
        {QStringLiteral("CASS 坐标文件 (*.dat)"), QStringLiteral("PNEZD 逗号分隔文件 (*.csv)")});
    auto* name = new QComboBox(&dialog);
    name->addItems({QStringLiteral("编码"), QStringLiteral("序号")});
    auto* encoding = new QComboBox(&dialog);
    encoding->addItems({QStringLiteral("GBK"), QStringLiteral("UTF-8")});
    const auto casOnly = [name, encoding, format] {
        const bool cass = format->currentIndex() == 0;
        name->setEnabled(cass);
        encoding->setEnabled(cass);
    };
    QObject::connect(format, &QComboBox::currentIndexChanged, &dialog, casOnly);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QFormLayout(&dialog);
    layout->addRow(QStringLiteral("格式"), format);
    layout->addRow(QStringLiteral("点名"), name);
    layout->addRow(QStringLiteral("字符编码"), encoding);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    CoordinateFileChoice choice;
    const bool cass = format->currentIndex() == 0;
    choice.options.format =
        cass ? form::CoordinateFileFormat::CassDat : form::CoordinateFileFormat::PnezdCsv;
    choice.options.name =
        name->currentIndex() == 0 ? form::PointName::Code : form::PointName::Number;
    choice.options.encoding =
        encoding->currentIndex() == 0 ? form::TextEncoding::Gbk : form::TextEncoding::Utf8;
    const QString suffix = cass ? QStringLiteral("dat") : QStringLiteral("csv");
    QFileDialog files(parent, QStringLiteral("导出坐标文件"), folder, format->currentText());
    files.setAcceptMode(QFileDialog::AcceptSave);
    files.setDefaultSuffix(suffix);
    files.selectFile(QStringLiteral("坐标.") + suffix);
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    choice.path = files.selectedFiles().front();
    return choice;
}

QString number(double value) {
    return QString::number(value, 'g', 15);
}

} // namespace

GridMenu::GridMenu(FormCAD& window, CoordinateGrid& grid)
    : QObject(&window), m_window(window), m_grid(grid), m_menu(new QMenu(&window)),
      m_restoreMenu(new QMenu(m_menu)) {
    const std::array<std::function<void()>, kGridMenu.size()> commands = {
        [this] { run([this] { copyRows(); }); },
        [this] { run([this] { exportCoordinateFile(); }); },
        [this] { run([this] { undoLastPoint(); }); },
        {},
        [this] { m_window.run(FormCAD::Command::ArcDivision); },
        [this] { m_window.run(FormCAD::Command::PolylineWidth); },
        [this] { run([this] { measure(); }); },
        {},
        {},
        [] {},
    };
    for (std::size_t i = 0; i < kGridMenu.size(); ++i) {
        const MenuEntrySpec& entry = kGridMenu[i];
        if (entry.name.empty()) {
            m_menu->addSeparator();
            continue;
        }
        QAction* action = m_menu->addAction(qtText(entry.text));
        action->setObjectName(qtText(entry.name));
        if (!entry.shortcut.empty()) {
            action->setShortcut(QKeySequence(qtText(entry.shortcut)));
            action->setShortcutContext(Qt::WindowShortcut);
            m_window.addAction(action);
        }
        if (commands[i]) {
            connect(action, &QAction::triggered, this, commands[i]);
        }
        m_actions[i] = action;
    }
    QAction* restore = action("restore");
    restore->setMenu(m_restoreMenu);
    connect(m_restoreMenu, &QMenu::aboutToShow, this, &GridMenu::fillRestoreMenu);
    QAction* letters = action("letterCodes");
    letters->setCheckable(true);
    letters->setChecked(settings().value(kLetterCodesKey, false).toBool());
    connect(letters, &QAction::toggled, this,
            [](bool on) { settings().setValue(kLetterCodesKey, on); });
    connect(&m_grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_menu->popup(m_grid.viewport()->mapToGlobal(at)); });
}

QAction* GridMenu::action(std::string_view name) const {
    for (std::size_t i = 0; i < kGridMenu.size(); ++i) {
        if (kGridMenu[i].name == name && !name.empty()) {
            return m_actions[i];
        }
    }
    return nullptr;
}

bool GridMenu::letterCodesIncrement() const {
    return action("letterCodes")->isChecked();
}

void GridMenu::run(const std::function<void()>& command) {
    m_window.runCommand(command);
}

void GridMenu::copyRows() {
    const form::ClipText clip = form::clipRows(m_window.table(), m_grid.selectedTableRows());
    auto* data = new QMimeData;
    data->setText(QString::fromStdString(clip.tsv));
    data->setHtml(QString::fromStdString(clip.html));
    QApplication::clipboard()->setMimeData(data);
}

void GridMenu::exportCoordinateFile() {
    QString folder = settings().value(kFileFolderKey).toString();
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    }
    const std::optional<CoordinateFileChoice> choice =
        m_chooser ? m_chooser(folder) : askForFile(&m_window, folder);
    if (!choice) {
        return;
    }
    settings().setValue(kFileFolderKey, QFileInfo(choice->path).absolutePath());
    const Status<form::FileFailure> written =
        form::writeCoordinateFile(m_window.table(), choice->options, choice->path.toStdString());
    if (!written) {
        m_window.showInformation("坐标文件没有保存：" + written.error().message);
    }
}

void GridMenu::undoLastPoint() {
    form::undoLastPoint(m_window.table());
}

void GridMenu::measure() {
    QString rows;
    const std::vector<int> selected = m_grid.selectedTableRows();
    if (selected.size() == 2) {
        const cad::CoordinateTable& table = m_window.table();
        const QString from = QString::fromStdString(table.cell(selected[0], 0));
        const QString to = QString::fromStdString(table.cell(selected[1], 0));
        const Expected<form::Bearing, std::string> bearing =
            form::bearingBetween(table, selected[0], selected[1]);
        rows = QStringLiteral("序号 %1 → 序号 %2：").arg(from, to);
        if (bearing) {
            rows += QStringLiteral("距离 %1，方位角 %2")
                        .arg(number(bearing->distance),
                             QString::fromStdString(form::dmsText(bearing->azimuth)));
        } else {
            rows += QString::fromStdString(bearing.error());
        }
    }
    MeasureDialog dialog(rows, &m_window);
    dialog.exec();
}

void GridMenu::fillRestoreMenu() {
    m_restoreMenu->clear();
    form::TableJournal* journal = m_window.journal();
    const std::vector<form::JournalEntry> entries =
        journal != nullptr ? journal->entries() : std::vector<form::JournalEntry>{};
    if (entries.empty()) {
        m_restoreMenu->addAction(QStringLiteral("（没有保存的表格）"))->setEnabled(false);
        return;
    }
    for (const form::JournalEntry& entry : entries) {
        QAction* item = m_restoreMenu->addAction(
            QStringLiteral("%1（%2 行）").arg(QString::fromStdString(entry.time)).arg(entry.rows));
        connect(item, &QAction::triggered, this, [this, entry] {
            run([this, entry] {
                form::TableJournal* journal = m_window.journal();
                if (journal == nullptr) {
                    return;
                }
                const Status<std::string> restored =
                    journal->restore(entry, m_window.table(), std::chrono::system_clock::now());
                if (!restored) {
                    m_window.showInformation("表格没有恢复：" + restored.error());
                }
            });
        });
    }
}

MeasureDialog::MeasureDialog(const QString& rows, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("测量计算"));
    auto* layout = new QFormLayout(this);
    const auto addInput = [this, layout](const char* name, const QString& label) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        layout->addRow(label, box);
        connect(box, &QLineEdit::textChanged, this, &MeasureDialog::update);
    };
    const auto addResult = [this, layout](const char* name, const QString& label) {
        auto* text = new QLabel(this);
        text->setObjectName(QString::fromLatin1(name));
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addRow(label, text);
    };
    addInput("degrees", QStringLiteral("角度（度）"));
    addResult("toRadians", QStringLiteral("弧度"));
    addResult("dms", QStringLiteral("度分秒"));
    addInput("radians", QStringLiteral("弧度"));
    addResult("toDegrees", QStringLiteral("角度（度）"));
    addInput("north", QStringLiteral("ΔX（北）"));
    addInput("east", QStringLiteral("ΔY（东）"));
    addResult("distance", QStringLiteral("距离"));
    addResult("azimuth", QStringLiteral("方位角"));
    addResult("rows", QStringLiteral("两点"));
    result("rows")->setText(rows.isEmpty() ? QStringLiteral("（在表格中选中两行）") : rows);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addRow(close);
}

QLineEdit* MeasureDialog::input(std::string_view name) const {
    return findChild<QLineEdit*>(qtText(name));
}

QLabel* MeasureDialog::result(std::string_view name) const {
    return findChild<QLabel*>(qtText(name));
}

void MeasureDialog::update() {
    const auto read = [this](std::string_view name) -> std::optional<double> {
        bool ok = false;
        const double value = input(name)->text().trimmed().toDouble(&ok);
        return ok ? std::optional<double>(value) : std::nullopt;
    };
    const std::optional<double> degrees = read("degrees");
    QString toRadians;
    QString dms;
    if (degrees) {
        if (const survey::SurveyResult radians = survey::XJHD(*degrees)) {
            toRadians = number(radians.value());
        }
        if (const survey::SurveyResult packed = survey::DMS(*degrees)) {
            dms = QStringLiteral("%1（%2）")
                      .arg(number(packed.value()), QString::fromStdString(form::dmsText(*degrees)));
        }
    }
    result("toRadians")->setText(toRadians);
    result("dms")->setText(dms);
    const std::optional<double> typedRadians = read("radians");
    result("toDegrees")
        ->setText(typedRadians ? number(form::radiansToDegrees(*typedRadians)) : QString());
    const std::optional<double> north = read("north");
    const std::optional<double> east = read("east");
    QString distance;
    QString azimuth;
    if (north && east) {
        if (const survey::SurveyResult length = survey::fansuanJL(*north, *east)) {
            distance = number(length.value());
        }
        if (const survey::SurveyResult angle = survey::fansuanJD(*north, *east)) {
            azimuth = QStringLiteral("%1°（%2）")
                          .arg(number(angle.value()),
                               QString::fromStdString(form::dmsText(angle.value())));
        }
    }
    result("distance")->setText(distance);
    result("azimuth")->setText(azimuth);
}

} // namespace vexilo::app
