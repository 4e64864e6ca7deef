#pragma once
// The About box: name, version, logo and two memory figures taken once, at creation.
#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

namespace morvik::ui {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    void FormCreate();
    void BitBtn1Click();

    // "#,### KB" of the total physical memory, and "%d %%" of a share.
    static QString PhysicalMemoryText(uint64_t totalBytes);
    static QString PercentText(int percent);

    QFrame* Panel1;
    QLabel *Image1, *Label1, *Label2, *StaticText1, *StaticText2, *PhysMem, *FreeRes;
    QPushButton* BitBtn1;

protected:
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace morvik::ui
