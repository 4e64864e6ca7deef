#pragma once
// A horizontal progress bar: black from the left on white, the percentage "%d%%" in
// the middle, drawn white over the black part and black over the white part.
#include <QWidget>

namespace morvik::ui {

class BarGauge : public QWidget {
    Q_OBJECT
public:
    explicit BarGauge(QWidget* parent = nullptr);

    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    int Progress() const { return progress_; }
    void SetMinValue(int value);
    void SetMaxValue(int value);
    void SetProgress(int value);
    // (progress - min) * 100 / (max - min), cut to a whole number; 0 when max == min.
    int PercentDone() const;
    QString Text() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int min_ = 0, max_ = 100, progress_ = 0;
};

}  // namespace morvik::ui
