// A one-line text box that holds only the characters its key filter allows, however text
// arrives, and selects its whole text when it gets the focus.
#include "app/filtered_text_box.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QValidator>

namespace vexilo::app {
namespace {

/// The last line of defence: strips refused characters from whatever the line edit is about to
/// hold and keeps the cursor on the same character.
class StripValidator : public QValidator {
public:
    StripValidator(const FilteredTextBox* box, QObject* parent) : QValidator(parent), m_box(box) {}

    State validate(QString& input, int& pos) const override {
        QString kept;
        kept.reserve(input.size());
        int keptBeforeCursor = 0;
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (m_box->accepted().contains(input.at(i))) {
                kept.append(input.at(i));
                if (i < pos) {
                    ++keptBeforeCursor;
                }
            }
        }
        if (kept.size() != input.size()) {
            input = kept;
            pos = keptBeforeCursor;
        }
        return Acceptable;
    }

private:
    const FilteredTextBox* m_box;
};

/// A key event types characters when its text is printable; backspace, Enter and the control
/// characters of shortcuts (Ctrl+A is 0x01) are not typed characters.
bool typesCharacters(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const QChar c : text) {
        if (!c.isPrint()) {
            return false;
        }
    }
    return true;
}

} // namespace

FilteredTextBox::FilteredTextBox(const QString& accepted, QWidget* parent)
    : QLineEdit(parent), m_accepted(accepted) {
    m_validator = new StripValidator(this, this);
    setValidator(m_validator);
    setAlignment(Qt::AlignCenter);
    // Composing text with an input method would drop the selection before anything is
    // committed; these boxes take digits only, which plain key events bring.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhNoPredictiveText);
}

QString FilteredTextBox::filtered(const QString& text) const {
    QString kept;
    for (const QChar c : text) {
        if (m_accepted.contains(c)) {
            kept.append(c);
        }
    }
    return kept;
}

bool FilteredTextBox::acceptsWhole(const QString& text) const {
    return filtered(text) == text;
}

QString FilteredTextBox::withoutLineEnd(QString text) {
    if (text.endsWith(QLatin1Char('\n'))) {
        text.chop(1);
        if (text.endsWith(QLatin1Char('\r'))) {
            text.chop(1);
        }
    }
    return text;
}

void FilteredTextBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        pasteWhole();
        event->accept();
        return;
    }
    const QString text = event->text();
    if (typesCharacters(text) && filtered(text) != text) {
        event->accept(); // discarded: the box and its selection stay as they are
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void FilteredTextBox::inputMethodEvent(QInputMethodEvent* event) {
    // Input methods are disabled on the box; should one still deliver text, it is committed
    // only when the box accepts all of it, and nothing is composed in the box.
    const QString commit = event->commitString();
    if (!acceptsWhole(commit)) {
        QApplication::beep();
        event->accept();
        return;
    }
    if (commit.isEmpty() && event->replacementLength() == 0) {
        event->accept();
        return;
    }
    QInputMethodEvent committed(QString(), {});
    committed.setCommitString(commit, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&committed);
    event->setAccepted(committed.isAccepted());
}

void FilteredTextBox::dragEnterEvent(QDragEnterEvent* event) {
    if (!canTake(withoutLineEnd(event->mimeData()->text()))) {
        event->ignore();
        return;
    }
    QLineEdit::dragEnterEvent(event);
}

void FilteredTextBox::dragMoveEvent(QDragMoveEvent* event) {
    if (!canTake(withoutLineEnd(event->mimeData()->text()))) {
        event->ignore();
        return;
    }
    QLineEdit::dragMoveEvent(event);
}

void FilteredTextBox::dropEvent(QDropEvent* event) {
    const QString text = event->mimeData()->text();
    const QString kept = withoutLineEnd(text);
    if (!canTake(kept)) {
        if (!isReadOnly() && !kept.isEmpty()) {
            QApplication::beep();
        }
        event->ignore();
        return;
    }
    if (kept == text) {
        QLineEdit::dropEvent(event);
        return;
    }
    QMimeData data;
    data.setText(kept);
    QDropEvent keptEvent(event->position(), event->possibleActions(), &data, event->buttons(),
                         event->modifiers(), event->type());
    keptEvent.setDropAction(event->dropAction());
    QLineEdit::dropEvent(&keptEvent);
    event->setDropAction(keptEvent.dropAction());
    event->setAccepted(keptEvent.isAccepted());
}

void FilteredTextBox::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    const QString pasteText = QCoreApplication::translate("QLineEdit", "&Paste");
    for (QAction* action : menu->actions()) {
        if (action->objectName() == QLatin1String("edit-paste") ||
            action->text().startsWith(pasteText)) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, &FilteredTextBox::pasteWhole);
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void FilteredTextBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    switch (event->reason()) {
    case Qt::MouseFocusReason:
        m_selectAllOnRelease = true;
        selectAll();
        break;
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        selectAll();
        break;
    default: // back from a popup or from another window: the box keeps its selection
        break;
    }
}

void FilteredTextBox::focusOutEvent(QFocusEvent* event) {
    m_selectAllOnRelease = false;
    QLineEdit::focusOutEvent(event);
}

void FilteredTextBox::mousePressEvent(QMouseEvent* event) {
    if (m_selectAllOnRelease && event->button() == Qt::LeftButton) {
        event->accept(); // the click that brought the focus does not place the cursor
        return;
    }
    m_selectAllOnRelease = false;
    QLineEdit::mousePressEvent(event);
}

void FilteredTextBox::mouseMoveEvent(QMouseEvent* event) {
    if (m_selectAllOnRelease) {
        event->accept();
        return;
    }
    QLineEdit::mouseMoveEvent(event);
}

void FilteredTextBox::mouseReleaseEvent(QMouseEvent* event) {
    // The middle button pastes the X selection; refused as a whole like any other paste.
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        (void)insertWhole(QGuiApplication::clipboard()->text(QClipboard::Selection));
        event->accept();
        return;
    }
    if (m_selectAllOnRelease && event->button() == Qt::LeftButton) {
        m_selectAllOnRelease = false;
        selectAll();
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void FilteredTextBox::pasteWhole() {
    (void)insertWhole(QGuiApplication::clipboard()->text());
}

bool FilteredTextBox::canTake(const QString& text) const {
    return !isReadOnly() && !text.isEmpty() && acceptsWhole(text);
}

bool FilteredTextBox::insertWhole(const QString& text) {
    const QString kept = withoutLineEnd(text);
    if (isReadOnly() || kept.isEmpty()) {
        return false;
    }
    if (!acceptsWhole(kept)) {
        QApplication::beep();
        return false;
    }
    insert(kept);
    return true;
}

} // namespace vexilo::app
