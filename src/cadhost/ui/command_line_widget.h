// The command window under the drawing: the history, the open prompt and the input line.
#pragma once

#include "cadhost/commandline/command_line.h"

#include <QWidget>

#include <cstdint>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace vexilo::cadhost {

/// Shows the command line's history and prompt and turns keys into its input: Enter (and a
/// space where it ends the input) submits the typed text, Esc cancels.
class CommandLineWidget : public QWidget {
    Q_OBJECT
public:
    explicit CommandLineWidget(CommandLine& commandLine, QWidget* parent = nullptr);

    /// Brings the history and the prompt up to date with the command line.
    void refresh();

    QLineEdit* input() const { return m_input; }
    QPlainTextEdit* historyView() const { return m_history; }
    QLabel* promptLabel() const { return m_prompt; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void submitTyped();

    CommandLine& m_commandLine;
    QPlainTextEdit* m_history;
    QLabel* m_prompt;
    QLineEdit* m_input;
    std::uint64_t m_shownLines = 0;
};

} // namespace vexilo::cadhost
