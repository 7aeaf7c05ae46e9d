// `FormCAD`, the utility's only window.
#include "app/form_cad.h"

#include "app/cjk_font.h"
#include "app/coordinate_grid.h"
#include "app/coordinate_table_model.h"
#include "app/filtered_text_box.h"
#include "app/grid_menu.h"
#include "form/control_table.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <vector>

namespace vexilo::app {
namespace {

using form::ControlKind;
using form::ControlSpec;
using form::kControls;
using form::twipsToPixels;

QString qtText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect twipsRect(const ControlSpec& entry) {
    return {twipsToPixels(entry.left), twipsToPixels(entry.top), twipsToPixels(entry.width),
            twipsToPixels(entry.height)};
}

} // namespace

FormCAD::FormCAD(QWidget* parent) : QWidget(parent) {
    setWindowTitle(qtText(kProgramName));
    // A fixed border with minimise and close boxes; the layout does not follow a resize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFixedSize(twipsToPixels(form::kClientWidthTwips), twipsToPixels(form::kClientHeightTwips));
    setFont(songFont(form::kGridPointSize));
    buildControls();
    wireButtons();
    m_gridMenu = new GridMenu(*this, *m_grid);
    CoordinateTableModel* model = m_grid->tableModel();
    connect(model, &QAbstractItemModel::rowsInserted, this, &FormCAD::scheduleJournal);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &FormCAD::scheduleJournal);
    connect(model, &QAbstractItemModel::dataChanged, this, &FormCAD::scheduleJournal);
    m_guard.setCloser([this] { close(); });
    // However the window closes, the table is kept in the journal before the CAD references go.
    m_guard.setUnloadHandler([this] {
        keepTable();
        if (m_unloadHandler) {
            m_unloadHandler();
        }
    });
}

FormCAD::~FormCAD() {
    // The grid's model observes m_table, which dies before QWidget deletes the children.
    delete m_grid;
    m_grid = nullptr;
}

void FormCAD::buildControls() {
    m_options = new QButtonGroup(this);
    m_options->setExclusive(true);
    for (const ControlSpec& entry : kControls) {
        QWidget* parent = this;
        if (!entry.parent.empty()) {
            parent = control(entry.parent);
        }
        QWidget* widget = nullptr;
        const QString text = qtText(entry.text);
        switch (entry.kind) {
        case ControlKind::Frame: {
            auto* frame = new QGroupBox(parent);
            frame->setFocusPolicy(Qt::NoFocus);
            widget = frame;
            break;
        }
        case ControlKind::Button:
            widget = new QPushButton(text, parent);
            break;
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(text, parent);
            box->setChecked(entry.initiallyOn);
            widget = box;
            break;
        }
        case ControlKind::OptionButton: {
            auto* option = new QRadioButton(text, parent);
            option->setChecked(entry.initiallyOn);
            m_options->addButton(option);
            widget = option;
            break;
        }
        case ControlKind::TextBox: {
            auto* box = new FilteredTextBox(entry.accepts, parent);
            box->setFont(songFont(form::kTextBoxPointSize));
            box->setText(text);
            widget = box;
            break;
        }
        case ControlKind::Label:
            widget = new QLabel(text, parent);
            break;
        case ControlKind::Grid:
            m_grid = new CoordinateGrid(m_table, parent);
            widget = m_grid;
            break;
        }
        widget->setObjectName(qtText(entry.name));
        widget->setGeometry(twipsRect(entry));
        m_controls.emplace(std::string(entry.name), widget);
    }

    std::vector<const ControlSpec*> byTabIndex;
    for (const ControlSpec& entry : kControls) {
        byTabIndex.push_back(&entry);
    }
    std::sort(byTabIndex.begin(), byTabIndex.end(),
              [](const ControlSpec* a, const ControlSpec* b) { return a->tabIndex < b->tabIndex; });
    QWidget* previous = nullptr;
    for (const ControlSpec* entry : byTabIndex) {
        QWidget* widget = control(entry->name);
        if ((widget->focusPolicy() & Qt::TabFocus) == 0) {
            continue; // frames and labels keep their index but never take the focus
        }
        if (previous == nullptr) {
            widget->setFocus(Qt::OtherFocusReason);
        } else {
            setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

void FormCAD::wireButtons() {
    const auto connectButton = [this](std::string_view name, std::function<void()> action) {
        auto* button = controlAs<QAbstractButton>(name);
        connect(button, &QAbstractButton::clicked, this,
                [this, action = std::move(action)] { runCommand(action); });
    };
    const auto connectCommand = [this, &connectButton](std::string_view name, Command command) {
        connectButton(name, [this, command] {
            const auto& action = m_commands[static_cast<std::size_t>(command)];
            if (action) {
                action();
            }
        });
    };
    connectCommand("Command1", Command::Command1);
    connectCommand("Command2", Command::Command2);
    connectCommand("Command4", Command::Command4);
    connectButton("Command5", [this] { cad::deleteRow(m_table); });
    connectButton("Command6", [this] {
        keepTable();
        cad::clearTable(m_table);
    });
    connectButton("Command3", [this] { close(); });
}

QWidget* FormCAD::control(std::string_view name) const {
    const auto found = m_controls.find(name);
    return found == m_controls.end() ? nullptr : found->second;
}

void FormCAD::setCommand(Command button, std::function<void()> command) {
    m_commands[static_cast<std::size_t>(button)] = std::move(command);
}

bool FormCAD::run(Command button) {
    return runCommand([this, button] {
        const auto& action = m_commands[static_cast<std::size_t>(button)];
        if (action) {
            action();
        }
    });
}

void FormCAD::setUnloadHandler(std::function<void()> handler) {
    m_unloadHandler = std::move(handler);
}

void FormCAD::setMessagePresenter(MessagePresenter presenter) {
    m_presenter = std::move(presenter);
}

bool FormCAD::runCommand(const std::function<void()>& action) {
    return m_guard.run(action);
}

void FormCAD::closeEvent(QCloseEvent* event) {
    // While a command runs it still holds the CAD references; releasing them under it would
    // pull its objects away mid-request, so the guard closes the window after it.
    if (m_guard.requestClose() == form::CommandGuard::CloseVerdict::Deferred) {
        event->ignore();
        return;
    }
    event->accept();
}

bool FormCAD::isChecked(std::string_view name) const {
    const auto* button = controlAs<QAbstractButton>(name);
    return button != nullptr && button->isChecked();
}

std::string FormCAD::textOf(std::string_view name) const {
    const auto* box = controlAs<QLineEdit>(name);
    return box == nullptr ? std::string() : box->text().toStdString();
}

bool FormCAD::userSystemSelected() const {
    return isChecked("Option1(0)");
}

bool FormCAD::swapSelected() const {
    return isChecked("Check1");
}

bool FormCAD::codeIncrementSelected() const {
    return isChecked("Check2");
}

bool FormCAD::letterCodeIncrementSelected() const {
    return m_gridMenu != nullptr && m_gridMenu->letterCodesIncrement();
}

void FormCAD::setJournalFolder(const QString& folder) {
    m_journal.emplace(folder.toStdString());
    if (const Status<form::FileFailure> kept = m_journal->keepUnclosed(); !kept) {
        qWarning("vexilo: %s", kept.error().message.c_str());
    }
}

void FormCAD::keepTable() {
    if (!m_journal) {
        return;
    }
    m_journalPending = false;
    if (const Status<form::FileFailure> kept =
            m_journal->keep(m_table, std::chrono::system_clock::now());
        !kept) {
        qWarning("vexilo: %s", kept.error().message.c_str());
    }
}

void FormCAD::scheduleJournal() {
    if (!m_journal || m_journalPending) {
        return;
    }
    // Changes come in bursts (a polyline's rows, a restore): one write after the burst.
    m_journalPending = true;
    QTimer::singleShot(0, this, &FormCAD::writeJournal);
}

void FormCAD::writeJournal() {
    if (!m_journal || !m_journalPending) {
        return;
    }
    m_journalPending = false;
    const Status<form::FileFailure> written = m_journal->writeCurrent(m_table);
    if (!written && !m_journalWarned) {
        m_journalWarned = true;
        qWarning("vexilo: the table journal cannot be written: %s",
                 written.error().message.c_str());
    }
}

std::string FormCAD::incrementText() const {
    return textOf("Text1(1)");
}

std::string FormCAD::decimalPlacesText() const {
    return textOf("Text1(0)");
}

std::string FormCAD::scaleText() const {
    return textOf("Text2");
}

void FormCAD::minimise() {
    showMinimized();
}

void FormCAD::restore() {
    showNormal();
    raise();
    activateWindow();
}

void FormCAD::showInformation(std::string_view text) {
    present({qtText(kInformationTitle), qtText(text), QMessageBox::Information});
}

void FormCAD::showPlain(std::string_view title, std::string_view text) {
    present({qtText(title.empty() ? kProgramName : title), qtText(text), QMessageBox::NoIcon});
}

void FormCAD::present(const Message& message) {
    if (m_presenter) {
        m_presenter(message);
        return;
    }
    // While the window is minimised a box owned by it could stay hidden with it.
    QMessageBox box(message.icon, message.title, message.text, QMessageBox::Ok,
                    isMinimized() ? nullptr : this);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

} // namespace vexilo::app
