#pragma once
// The ids of the main window's commands. Views that place the frame's actions on their own bars
// name them by these ids; the frame's command table gives each one its caption, keys and icon.

namespace cmd {

enum Id : int {
    // File
    FileNew = 57600,  // accelerator only; nothing handles it
    FileOpen = 57601,
    FileSaveDocument = 57603,  // Ctrl+S: the document's own save
    Save = 142,
    SaveAs = 176,
    CatalogCreate = 138,
    CatalogRemove = 154,
    CatalogArchive = 167,
    CopyFromMemoryCard = 328,
    PageSetup = 57605,
    Print = 57607,
    PrintPreview = 57609,
    BurnCd = 326,
    SendEmail = 1132,
    DragDropOptions = 245,
    Exit = 57665,
    // Export
    IndexPrint = 178,
    ExportPictureData = 180,
    ExportHtml = 203,
    // Picture
    FirstPicture = 147,
    NextPicture = 140,
    PrevPicture = 141,
    LastPicture = 148,
    UseLastData = 1133,
    DeletePicture = 146,
    Rotate = 1093,
    SaveNext = 143,
    SaveCopyNext = 144,
    SaveCopyToAll = 224,
    RemoveAllPeople = 145,
    SmartHeadline = 1207,
    // Edit
    Undo = 57643,
    Cut = 57635,
    Copy = 57634,
    Paste = 57637,
    Search = 159,
    Spelling = 1131,
    // View
    ToolbarMain = 230,
    ToolbarPictureData = 231,
    ToolbarBigImage = 243,
    ViewBrowser = 150,
    ViewOptions = 149,
    ViewPictureData = 151,
    ViewLargeImage = 152,
    ViewStatusBar = 59393,
    Refresh = 160,
    Zoom = 162,
    CropMarks = 221,
    SlideShow = 165,
    FullScreen = 169,
    Escape = 1119,
    NextPane = 57680,
    PrevPane = 57681,
    SwitchPictureColumn = 1118,  // Ctrl+Tab
    // Large picture toolbar
    RotateCrop = 1139,
    RemoveCrop = 1148,
    CropTopLeft = 1145,
    CropCenter = 1146,
    CropBottomRight = 1147,
    // Help
    CheckForUpdates = 252,
    Tips = 256,
    About = 57664,
    // Ctrl+F1 .. Ctrl+F12: the options tree's hot keys
    HotKeyFirst = 1153,
    HotKeyLast = 1164,
};
// The key code the first hot key hands to the options tree (F1); the others follow.
constexpr int kHotKeyCodeFirst = 112;

}  // namespace cmd
