// The Image menu and Fill Frame: each works on the working picture through
// the picture processor, which keeps one undo copy. None of them stores the
// transmit page; the next commit does.
#include "app/sstvform.h"

#include "editor/previews.h"
#include "editor/processor.h"

#include <QColorDialog>

void TSSTVForm::Undo1Click()
{
    Proc().Undo();
    ReloadLargeView();
    UpdateViewSize();
}

void TSSTVForm::Sharpen1Click()
{
    TargetWorkingPicture();
    Proc().Filter(kSharpenKernel, kSharpenDivisor);
    ReloadLargeView();
    UpdateViewSize();
}

void TSSTVForm::Negative1Click()
{
    TargetWorkingPicture();
    Proc().Negative();
    ReloadLargeView();
    UpdateViewSize();
}

void TSSTVForm::Horizontal1Click()
{
    TargetWorkingPicture();
    Proc().FlipHorizontal();
    ReloadLargeView();
    UpdateViewSize();
}

void TSSTVForm::Vertical1Click()
{
    TargetWorkingPicture();
    Proc().FlipVertical();
    ReloadLargeView();
    UpdateViewSize();
}

void TSSTVForm::Process1Click()
{
    RunPreviews(int(TPreviewSet::Process));
}

void TSSTVForm::Efects1Click()
{
    RunPreviews(int(TPreviewSet::Effects));
}

void TSSTVForm::RunPreviews(int set)
{
    TargetWorkingPicture();
    if (Proc().CanPreview()) {
        TPreviews dialog(TPreviewSet(set), *Proc().Target(), this);
        if (dialog.exec() == QDialog::Accepted)
            Proc().ApplyResult(dialog.Result());
    }
    ReloadLargeView();
    UpdateViewSize();
}

void TSSTVForm::FillFrame1Click()
{
    // The result is not examined: a cancelled dialog fills with the colour
    // it had, black before the first choice.
    ColorDialog1->setCurrentColor(ColorDialog1Colour);
    if (ColorDialog1->exec() == QDialog::Accepted)
        ColorDialog1Colour = ColorDialog1->selectedColor();
    TargetWorkingPicture();
    Proc().Fill(ColorDialog1Colour);
    ReloadLargeView();
    TargetDisplayCopy();
    UpdateViewSize();
}
