#pragma once
// The About box: name, version, logo and two memory figures taken once, at creation.
#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

namespace morvik::ui {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    void ShowMemoryFigures();
    void Confirm();

    // "#,### KB" of the total physical memory, and "%d %%" of a share.
    static QString PhysicalMemoryText(uint64_t totalBytes);
    static QString PercentText(int percent);

    QFrame* Frame;
    QLabel *LogoLabel, *NameLabel, *VersionLabel, *PhysicalMemoryCaption, *FreeMemoryCaption, *PhysicalMemoryLabel, *FreeMemoryLabel;
    QPushButton* OkButton;

protected:
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace morvik::ui
