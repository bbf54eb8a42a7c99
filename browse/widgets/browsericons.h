#pragma once
// The browser's pictures: the tree's image list (24 x 16, drawn at run time), its three overlays,
// the system icons of folders and drives copied onto the same size, and the form's button icons.

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace browsericons {

inline constexpr int kWidth = 24;
inline constexpr int kHeight = 16;

// Image `index` of the tree's image list (browser::Image), transparent where the list is white.
QPixmap image(int index);
// Overlay 1 (has data), 2 (flagged) or 3 (flagged, has data), drawn over an image.
QPixmap overlay(int index);
// The icon of a tree item: an image of the list, or the system icon of `iconPath` for
// browser::ImageSystemIcon, with its overlay. Made once per combination.
QIcon itemIcon(int image, int overlay, const QString& iconPath = {});

QIcon upOneLevel();
QIcon myDocuments();
QIcon myPictures();
QIcon switchView();

}  // namespace browsericons
