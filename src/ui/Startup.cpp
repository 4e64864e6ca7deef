#include "ui/Startup.h"

namespace morvik::ui {

Windows::Windows(IDialogs& dialogs)
{
    Form1 = std::make_unique<TForm1>(dialogs);
    TForm1* main = Form1.get();
    Form2 = std::make_unique<TForm2>(dialogs, [main] {
        return TForm2::Source{main->PictureCopy(), main->Settings.PictureWidth, main->Settings.PictureHeight};
    });
    AboutBox = std::make_unique<TAboutBox>();
    Form1->SetMosaicForm(Form2.get());
    Form1->SetAboutBox(AboutBox.get());
}

Windows::~Windows()
{
    Form1->SetMosaicForm(nullptr);
    Form1->SetAboutBox(nullptr);
}

}  // namespace morvik::ui
