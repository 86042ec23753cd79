#pragma once
// The pictures of the main window, drawn at run time: the 32 x 32 file
// images, the 33 x 37 device-and-tag images, the 24 x 24 tree images and the
// two small fixed pictures of the device tool bar.
#include <QIcon>
#include <QPixmap>

namespace vrt::cfg {

// 0 New, 1 Open, 2 Save, 3 Save as, 4 import from PRG.
QIcon FileImage(int index);
// 0 add device, 1 delete device, 2 add tag, 3 delete tag, 4 up, 5 down.
QIcon DeviceImage(int index);
// 0 device, 1 read-only tag, 2 read/write tag; an empty icon otherwise.
QIcon TreeImage(int index);
QPixmap DevicePicture();
QPixmap TagPicture();

}  // namespace vrt::cfg
