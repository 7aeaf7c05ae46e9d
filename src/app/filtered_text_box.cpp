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
            if (m_box->rules().typed(input.at(i).unicode()) == form::KeyVerdict::Insert) {
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

/// A key event's text is refused when any of its characters is: backspace, Enter and the
/// control characters of shortcuts (Ctrl+A is 0x01) are left to the line edit.
bool refusesTyped(const form::OptionRules& rules, const QString& text) {
    for (const QChar c : text) {
        if (rules.typed(c.unicode()) == form::KeyVerdict::Discard) {
            return true;
        }
    }
    return false;
}

std::u16string_view utf16(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

} // namespace

FilteredTextBox::FilteredTextBox(std::string_view accepted, QWidget* parent)
    : QLineEdit(parent), m_rules(accepted) {
    m_validator = new StripValidator(this, this);
    setValidator(m_validator);
    setAlignment(Qt::AlignCenter);
    // Composing text with an input method would drop the selection before anything is
    // committed; these boxes take digits only, which plain key events bring.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhNoPredictiveText);
}

QString FilteredTextBox::filtered(const QString& text) const {
    return QString::fromStdString(m_rules.kept(text.toStdString()));
}

void FilteredTextBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        pasteWhole();
        event->accept();
        return;
    }
    if (refusesTyped(m_rules, event->text())) {
        event->accept(); // discarded: the box and its selection stay as they are
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void FilteredTextBox::inputMethodEvent(QInputMethodEvent* event) {
    // Input methods are disabled on the box; should one still deliver text, it is committed
    // only when the box accepts all of it, and nothing is composed in the box.
    const form::InsertVerdict verdict =
        m_rules.inserted(utf16(event->commitString()), isReadOnly());
    if (verdict.kind == form::InsertVerdict::Kind::Refuse) {
        QApplication::beep();
    }
    const QString commit = QString::fromStdString(verdict.text);
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
    if (m_rules.inserted(utf16(event->mimeData()->text()), isReadOnly()).kind !=
        form::InsertVerdict::Kind::Insert) {
        event->ignore();
        return;
    }
    QLineEdit::dragEnterEvent(event);
}

void FilteredTextBox::dragMoveEvent(QDragMoveEvent* event) {
    if (m_rules.inserted(utf16(event->mimeData()->text()), isReadOnly()).kind !=
        form::InsertVerdict::Kind::Insert) {
        event->ignore();
        return;
    }
    QLineEdit::dragMoveEvent(event);
}

void FilteredTextBox::dropEvent(QDropEvent* event) {
    const QString text = event->mimeData()->text();
    const form::InsertVerdict verdict = m_rules.inserted(utf16(text), isReadOnly());
    if (verdict.kind != form::InsertVerdict::Kind::Insert) {
        if (verdict.kind == form::InsertVerdict::Kind::Refuse) {
            QApplication::beep();
        }
        event->ignore();
        return;
    }
    const QString kept = QString::fromStdString(verdict.text);
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
    form::FocusReason reason = form::FocusReason::Returning; // popup, another window
    switch (event->reason()) {
    case Qt::MouseFocusReason:
        reason = form::FocusReason::MouseClick;
        m_selectAllOnRelease = true;
        break;
    case Qt::TabFocusReason:
        reason = form::FocusReason::Tab;
        break;
    case Qt::BacktabFocusReason:
        reason = form::FocusReason::Backtab;
        break;
    case Qt::ShortcutFocusReason:
        reason = form::FocusReason::Shortcut;
        break;
    case Qt::OtherFocusReason:
        reason = form::FocusReason::Programmatic;
        break;
    default:
        break;
    }
    if (form::selectsAllOnFocus(reason)) {
        selectAll();
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
    // The middle button pastes the X selection; judged whole like any other paste.
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

bool FilteredTextBox::insertWhole(const QString& text) {
    const form::InsertVerdict verdict = m_rules.inserted(utf16(text), isReadOnly());
    if (verdict.kind == form::InsertVerdict::Kind::Refuse) {
        QApplication::beep();
    }
    if (verdict.kind != form::InsertVerdict::Kind::Insert) {
        return false;
    }
    insert(QString::fromStdString(verdict.text));
    return true;
}

} // namespace vexilo::app
