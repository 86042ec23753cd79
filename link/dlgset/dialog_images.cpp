#include "link/dlgset/dialog_images.h"

#include <QApplication>
#include <QStyle>

namespace vrt::link {

namespace {

QIcon Standard(QStyle::StandardPixmap pixmap) {
    QStyle* style = QApplication::style();
    return style ? style->standardIcon(pixmap) : QIcon();
}

}  // namespace

QIcon DialogImage(int index) {
    switch (index) {
        case 0: return Standard(QStyle::SP_ArrowDown);
        case 1: return Standard(QStyle::SP_ArrowUp);
        case 2: return Standard(QStyle::SP_DriveNetIcon);
        case 3: return Standard(QStyle::SP_DriveHDIcon);
        case 4: return Standard(QStyle::SP_FileDialogInfoView);
        case 5: return Standard(QStyle::SP_FileDialogDetailedView);
        case 6: return Standard(QStyle::SP_FileDialogContentsView);
        case 7: return Standard(QStyle::SP_MediaPlay);
        case 8: return Standard(QStyle::SP_DialogCloseButton);
        case 9: return Standard(QStyle::SP_DialogOpenButton);
        case 10: return Standard(QStyle::SP_MediaStop);
        default: return QIcon();
    }
}

QIcon DialogGlyph(FrameGlyph glyph) {
    switch (glyph) {
        case FrameGlyph::About: return Standard(QStyle::SP_MessageBoxInformation);
        case FrameGlyph::Help: return Standard(QStyle::SP_DialogHelpButton);
        case FrameGlyph::Exit: return Standard(QStyle::SP_DialogCancelButton);
        case FrameGlyph::Apply: return Standard(QStyle::SP_DialogApplyButton);
        case FrameGlyph::Undo: return Standard(QStyle::SP_ArrowBack);
        case FrameGlyph::Load: return Standard(QStyle::SP_DialogOpenButton);
        case FrameGlyph::Save: return Standard(QStyle::SP_DialogSaveButton);
        case FrameGlyph::ClearStat: return Standard(QStyle::SP_TrashIcon);
        case FrameGlyph::Link: return Standard(QStyle::SP_ComputerIcon);
        case FrameGlyph::Modem: return Standard(QStyle::SP_DriveNetIcon);
    }
    return QIcon();
}

}  // namespace vrt::link
