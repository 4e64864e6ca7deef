#pragma once
// A container with a 21-pixel caption bar and a roll button. Rolled up, only the bar
// shows; expanded, the panel takes back its height. Stacked in a top-aligned column,
// the panels below close up when one rolls up. Its minimum width shows the caption and
// every control whole.
#include "ui/widgets/DesignLayout.h"

#include <QFont>
#include <QWidget>

class QToolButton;

namespace morvik::ui {

class RollUpPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int CaptionHeight = 21;

    RollUpPanel(const QString& caption, int expandedHeight, QWidget* parent = nullptr);

    QString Caption() const { return caption_; }
    bool Rolled() const { return rolled_; }
    // Setting the state the panel already has does nothing.
    void SetRolled(bool rolled);
    int ExpandedHeight() const { return expandedHeight_; }

    // Places a control at (left, top) in panel coordinates, the caption bar included; a
    // control that fits its text grows to show it whole.
    void Place(QWidget* control, int left, int top, int width, int height,
               DesignLayout::Sizing sizing = DesignLayout::Sizing::Fixed);
    QWidget* Client() const { return client_; }

    // The caption's font: Arial, 14 pixels.
    static QFont CaptionFont();
    QSize minimumSizeHint() const override;

signals:
    void RolledChanged(bool rolled);

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void UpdateRollButton();

    QString caption_;
    int expandedHeight_;
    bool rolled_ = false;
    QWidget* client_;
    DesignLayout* clientLayout_;
    QToolButton* rollButton_;
};

}  // namespace morvik::ui
