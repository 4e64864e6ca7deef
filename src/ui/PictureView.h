#pragma once
// The picture area's image: shows a picture at its own size, or scaled to fill the
// widget without keeping proportions while stretched. The picture itself is never
// changed by the view.
#include <QImage>
#include <QWidget>

namespace morvik::ui {

class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent = nullptr);

    QImage& Picture() { return picture_; }
    const QImage& Picture() const { return picture_; }
    void SetPicture(const QImage& picture);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool stretch);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    bool stretch_ = false;
};

}  // namespace morvik::ui
