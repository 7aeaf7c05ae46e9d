// A one-line text box that holds only the characters its key filter allows, however text
// arrives, and selects its whole text when it gets the focus.
#pragma once

#include "form/option_rules.h"

#include <QLineEdit>
#include <QString>

#include <string_view>

class QValidator;

namespace vexilo::app {

/// A centred QLineEdit that applies the option-box rules of form/option_rules.h. A typed key
/// that is neither backspace nor one of the accepted characters is discarded before it reaches
/// the box, so the box (selection included) stays unchanged. Pasted (shortcut, context menu,
/// middle button), dropped and input-method text goes in only when the box accepts all of it;
/// otherwise the box beeps and stays unchanged. A validator behind all of this strips whatever
/// other path (setText) would bring in. Getting the focus by Tab, Backtab, shortcut, mouse click
/// or programmatically selects the whole text, so typing replaces it.
class FilteredTextBox : public QLineEdit {
    Q_OBJECT
public:
    /// `accepted` lists every character (ASCII) that may stand in the box; it must outlive
    /// the box, as the control table's texts do.
    explicit FilteredTextBox(std::string_view accepted, QWidget* parent = nullptr);

    /// The rules the box applies.
    const form::OptionRules& rules() const { return m_rules; }

    /// `text` without the characters the box refuses.
    QString filtered(const QString& text) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    /// Pastes the clipboard's text when the box accepts all of it.
    void pasteWhole();
    /// Inserts text arriving at once over the selection when the box accepts all of it (one
    /// line end at its end left out); beeps at a refused text. False when nothing went in.
    bool insertWhole(const QString& text);

    form::OptionRules m_rules;
    QValidator* m_validator = nullptr;
    /// Set by a focus-in through a mouse click: the click's press, drag and release would
    /// otherwise put the cursor where the mouse is and clear the selection.
    bool m_selectAllOnRelease = false;
};

} // namespace vexilo::app
