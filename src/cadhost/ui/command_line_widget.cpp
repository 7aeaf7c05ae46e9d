// The command window: history pane, prompt and input line.
#include "cadhost/ui/command_line_widget.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace vexilo::cadhost {

namespace {

// The most of the input row's width the prompt takes; the rest is left to what is typed.
constexpr double kPromptShareOfRow = 0.75;

} // namespace

CommandLineWidget::CommandLineWidget(CommandLine& commandLine, QWidget* parent)
    : QWidget(parent), m_commandLine(commandLine), m_history(new QPlainTextEdit(this)),
      m_prompt(new QLabel(this)), m_input(new QLineEdit(this)) {
    m_history->setReadOnly(true);
    m_history->setMaximumBlockCount(static_cast<int>(CommandHistory::kMaxLines));
    m_history->setFocusPolicy(Qt::ClickFocus);
    m_history->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_prompt->setTextFormat(Qt::PlainText);
    // A long prompt is clipped at the right rather than widening the window: the label never
    // asks for more than part of the row (see resizeEvent).
    m_prompt->setMaximumWidth(static_cast<int>(kPromptShareOfRow * 640));
    m_input->setFrame(false);
    m_input->installEventFilter(this);
    m_history->installEventFilter(this);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(4, 0, 4, 2);
    row->setSpacing(0);
    row->addWidget(m_prompt);
    row->addWidget(m_input, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_history, 1);
    layout->addLayout(row);
    refresh();
}

void CommandLineWidget::refresh() {
    const CommandHistory& history = m_commandLine.history();
    const std::uint64_t fresh = history.closedCount() - m_shownLines;
    const std::size_t kept = history.lines().size();
    const std::size_t first = kept - static_cast<std::size_t>(std::min<std::uint64_t>(fresh, kept));
    for (std::size_t i = first; i < kept; ++i) {
        m_history->appendPlainText(QString::fromStdString(history.lines()[i]));
    }
    m_shownLines = history.closedCount();
    if (fresh > 0) {
        m_history->verticalScrollBar()->setValue(m_history->verticalScrollBar()->maximum());
    }
    m_prompt->setText(QString::fromStdString(history.openLine()));
}

void CommandLineWidget::resizeEvent(QResizeEvent* event) {
    m_prompt->setMaximumWidth(std::max(1, static_cast<int>(kPromptShareOfRow * width())));
    QWidget::resizeEvent(event);
}

void CommandLineWidget::submitTyped() {
    const std::string typed = m_input->text().toStdString();
    m_input->clear();
    m_commandLine.submit(typed);
}

bool CommandLineWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    if (watched == m_history) {
        // Keys typed while the history has focus go to the input line, as on the view.
        m_input->setFocus();
        QCoreApplication::sendEvent(m_input, event);
        return true;
    }
    if (watched != m_input) {
        return QWidget::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Escape:
        m_input->clear();
        m_commandLine.escape();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        submitTyped();
        return true;
    // F3 normally reaches the window's shortcut first; a key event sent straight to the input
    // (or forwarded by the view) switches the snaps here.
    case Qt::Key_F3:
        m_commandLine.toggleSnaps();
        return true;
    case Qt::Key_Space:
        if (m_commandLine.spaceEndsInput()) {
            submitTyped();
            return true;
        }
        return false;
    default:
        return false;
    }
}

} // namespace vexilo::cadhost
