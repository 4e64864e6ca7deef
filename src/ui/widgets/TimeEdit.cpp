#include "ui/widgets/TimeEdit.h"

#include <QKeyEvent>
#include <QValidator>

namespace morvik::ui {
namespace {

constexpr int TextLength = 8;

bool IsSeparatorPosition(int pos) { return pos == 2 || pos == 5; }

// Guards pasted and programmatic texts with the same rule the keys obey.
class TimeValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        return TimeEdit::Acceptable(input) ? Acceptable : Invalid;
    }
};

// A two-character piece with blanks read as "0"; -1 when it is not a number.
int Piece(const QString& text, int from)
{
    int value = 0;
    for (int i = from; i < from + 2; ++i) {
        QChar c = text[i];
        if (c == ' ')
            c = '0';
        if (!c.isDigit() || c.unicode() > '9')
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

}  // namespace

TimeEdit::TimeEdit(QWidget* parent) : QLineEdit(parent)
{
    setMaxLength(TextLength);
    setText(QStringLiteral("00:00:00"));
    setValidator(new TimeValidator(this));
    setContextMenuPolicy(Qt::NoContextMenu);
}

bool TimeEdit::Acceptable(const QString& text)
{
    if (text.size() != TextLength || text[2] != ':' || text[5] != ':')
        return false;
    // Only the first hour position may stay blank when the text is read as a whole,
    // but while typing any blank reads as 0, as the key rule says.
    int hours = Piece(text, 0), minutes = Piece(text, 3), seconds = Piece(text, 6);
    if (hours < 0 || minutes < 0 || seconds < 0)
        return false;
    if (hours == 24 && minutes == 0 && seconds == 0)
        return true;
    return hours <= 23 && minutes <= 59 && seconds <= 59;
}

void TimeEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home || key == Qt::Key_End ||
        key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
        // Erasing leaves a blank in the position so the text keeps its shape.
        int pos = hasSelectedText() ? selectionStart() : cursorPosition();
        if (key == Qt::Key_Backspace && !hasSelectedText())
            --pos;
        if (pos >= 0 && IsSeparatorPosition(pos))
            pos += key == Qt::Key_Backspace ? -1 : 1;
        if (pos < 0 || pos >= TextLength) {
            event->accept();
            return;
        }
        QString candidate = text();
        candidate[pos] = ' ';
        setText(candidate);
        setCursorPosition(pos);
        event->accept();
        return;
    }
    const QString typed = event->text();
    if (typed.size() != 1 || !typed[0].isDigit() || typed[0].unicode() > '9') {
        event->accept();  // letters and everything else never enter the text
        return;
    }
    int pos = hasSelectedText() ? selectionStart() : cursorPosition();
    if (IsSeparatorPosition(pos))
        ++pos;
    if (pos >= TextLength) {
        event->accept();
        return;
    }
    QString candidate = text();
    candidate[pos] = typed[0];
    if (!Acceptable(candidate)) {
        event->accept();
        return;
    }
    setText(candidate);
    ++pos;
    if (IsSeparatorPosition(pos))
        ++pos;
    setCursorPosition(pos);
    event->accept();
}

}  // namespace morvik::ui
