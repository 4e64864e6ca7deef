#pragma once
// A one-line edit whose text always has the shape "hh:nn:ss": eight characters, the
// colons fixed, the first hour digit optional (a blank), every other position a digit.
// A key is taken only when the text it makes is a time of day up to 23:59:59, or
// exactly 24:00:00.
#include <QLineEdit>

namespace morvik::ui {

class TimeEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TimeEdit(QWidget* parent = nullptr);

    // Whether an eight-character text passes the editor's rule (blanks read as 0).
    static bool Acceptable(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace morvik::ui
