// A one-line text box that holds only the characters its key filter allows, however text
// arrives, and selects its whole text when it gets the focus.
#pragma once

#include <QLineEdit>
#include <QString>

class QValidator;

namespace vexilo::app {

/// A centred QLineEdit with a character filter. A typed key that is neither backspace nor one
/// of the accepted characters is discarded before it reaches the box, so the box (selection
/// included) stays unchanged. Pasted, dropped and input-method text is filtered the same way,
/// as if typed key by key: refused characters drop out, and text with nothing left is not
/// inserted at all. A validator behind all of this strips whatever other path (middle-click
/// paste, setText) would bring in. Getting the focus by Tab, Backtab, shortcut, mouse click or
/// programmatically selects the whole text, so typing replaces it.
class FilteredTextBox : public QLineEdit {
    Q_OBJECT
public:
    /// `accepted` lists every character that may stand in the box.
    explicit FilteredTextBox(const QString& accepted, QWidget* parent = nullptr);

    /// The characters the box accepts.
    const QString& accepted() const { return m_accepted; }

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
    /// Pastes the clipboard's text, filtered; nothing happens when none of it is accepted.
    void pasteFiltered();
    /// Inserts filtered text over the selection; refuses (returns false) when nothing is left.
    bool insertFiltered(const QString& text);

    QString m_accepted;
    QValidator* m_validator = nullptr;
    /// Set by a focus-in through a mouse click: the click's press, drag and release would
    /// otherwise put the cursor where the mouse is and clear the selection.
    bool m_selectAllOnRelease = false;
};

} // namespace vexilo::app
