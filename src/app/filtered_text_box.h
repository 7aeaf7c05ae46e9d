// A one-line text box that holds only the characters its key filter allows, however text
// arrives, and selects its whole text when it gets the focus.
#pragma once

#include <QLineEdit>
#include <QString>

class QValidator;

namespace vexilo::app {

/// A centred QLineEdit with a character filter. A typed key that is neither backspace nor one
/// of the accepted characters is discarded before it reaches the box, so the box (selection
/// included) stays unchanged. Pasted (shortcut, context menu, middle button), dropped and
/// input-method text is taken only whole: one refused character refuses all of it, with a
/// beep, since dropping characters would change the value ("-0.5" into a box without "." and
/// "-" would become 5). One line end at the end of pasted or dropped text, as a copied
/// spreadsheet cell carries, is not part of the text. A validator behind all of this strips
/// whatever other path (setText) would bring in. Getting the focus by Tab, Backtab, shortcut,
/// mouse click or programmatically selects the whole text, so typing replaces it.
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
    /// True when the box accepts every character of `text`.
    bool acceptsWhole(const QString& text) const;
    /// True when `text` may go into the box whole: it is not empty, holds only accepted
    /// characters, and the box is editable.
    bool canTake(const QString& text) const;
    /// `text` without one line end (LF or CR LF) at its end.
    static QString withoutLineEnd(QString text);
    /// Pastes the clipboard's text when the box accepts all of it; beeps otherwise.
    void pasteWhole();
    /// Inserts `text` (less one final line end) over the selection when the box accepts all of
    /// it; otherwise beeps and returns false, leaving the box as it was.
    bool insertWhole(const QString& text);

    QString m_accepted;
    QValidator* m_validator = nullptr;
    /// Set by a focus-in through a mouse click: the click's press, drag and release would
    /// otherwise put the cursor where the mouse is and clear the selection.
    bool m_selectAllOnRelease = false;
};

} // namespace vexilo::app
