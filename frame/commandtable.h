#pragma once
// The main window's command table: every command id with its caption, accelerators, status tip and
// icon. Each id becomes one QAction that carries the id as its data, so a command can be traced from
// the menu to its handler and its enable rule.

#include <QtGlobal>

#include "commandids.h"

namespace cmd {

struct Command {
    int id;
    const char* caption;  // menu text with its mnemonic
    const char* keys;     // accelerators in portable text, separated by ";"
    const char* tip;      // status-bar prompt, also the tool tip's source
    const char* icon;     // name under :/frame/, or empty
};

// Commands listed once; the hot keys Ctrl+F1 .. Ctrl+F12 are generated from HotKeyFirst.
inline constexpr Command kCommands[] = {
    {FileNew, "&New", "Ctrl+N", "", ""},
    {FileOpen, "&Open...", "Ctrl+O", "Open a folder of pictures", "open"},
    {FileSaveDocument, "Save", "Ctrl+S", "Save the open picture", ""},
    {Save, "&Save", "", "Save the picture data into the picture", "save"},
    {SaveAs, "Save &As...", "", "Save copies of pictures resized or cropped", ""},
    {CatalogCreate, "&Create", "", "Create a catalog of this folder and its sub-folders", ""},
    {CatalogRemove, "&Remove", "", "Remove the catalog of this folder", ""},
    {CatalogArchive, "&Archive", "", "Archive the Catalog to CD", ""},
    {CopyFromMemoryCard, "Copy from &Memory Card...", "", "Copy new pictures from a memory card", ""},
    {PageSetup, "Page Set&up...", "", "Change the printing options", ""},
    {Print, "&Print...", "", "Print pictures", "print"},
    {PrintPreview, "Print Pre&view...", "", "Show the pages as they will be printed", "printpreview"},
    {BurnCd, "&Burn CD...", "", "Write pictures to a CD", ""},
    {SendEmail, "Send &Email To...", "", "Send pictures by e-mail", "email"},
    {DragDropOptions, "&Drag && Drop Options...", "", "Choose what a dragged picture becomes", ""},
    {Exit, "E&xit", "", "Quit Snaplore", ""},
    {IndexPrint, "&Index Print...", "", "Create an Index graphics file", ""},
    {ExportPictureData, "&Picture Data...", "", "Export different data from the current directory", ""},
    {ExportHtml, "&HTML Pages...", "", "Export HTML pages", ""},
    {FirstPicture, "&First Pic", "Ctrl+Home", "Open the first picture", "first"},
    {NextPicture, "&Next", "Ctrl+Right", "Open the next picture", "next"},
    {PrevPicture, "&Prev", "Ctrl+Left", "Open the previous picture", "prev"},
    {LastPicture, "&Last Pic", "Ctrl+End", "Open the last picture", "last"},
    {UseLastData, "&Use Last Pics Data", "", "Use the Data from the last Picture", "uselast"},
    {DeletePicture, "&Del Picture", "Ctrl+Del", "Delete the picture from the disk", "delete"},
    {Rotate, "&Rotate", "", "Rotate the Picture by 90 degrees", "rotate"},
    {SaveNext, "Save Ne&xt", "", "Save the picture and open the next one", "savenext"},
    {SaveCopyNext, "Save &Copy Next", "Ctrl+Return;Ctrl+Enter", "Save the picture and give its data to the next one",
     "savecopynext"},
    {SaveCopyToAll, "Save Cop&y to All...", "", "Copy the picture data to many pictures", ""},
    {RemoveAllPeople, "D&el All People", "", "Remove all people, places and things", "removeall"},
    {SmartHeadline, "Smart Headline", "", "Make a headline from the picture data", "smartheadline"},
    {Undo, "&Undo", "Ctrl+Z;Alt+Backspace", "Undo the last action", ""},
    {Cut, "Cu&t", "Ctrl+X;Shift+Del", "Cut the selection to the clipboard", "cut"},
    {Copy, "&Copy", "Ctrl+C;Ctrl+Ins", "Copy the selection to the clipboard", "copy"},
    {Paste, "&Paste", "Ctrl+V;Shift+Ins", "Paste the clipboard", "paste"},
    {Search, "&Search...", "", "Search the catalog", "search"},
    {Spelling, "Spelling", "", "Check the spelling of the picture data", "spelling"},
    {ToolbarMain, "&Main", "", "Show or hide the main toolbar", ""},
    {ToolbarPictureData, "&Picture Data", "", "Show or hide the picture data toolbar", ""},
    {ToolbarBigImage, "&Big Image", "", "Show or hide the large picture toolbar", ""},
    {ViewBrowser, "&File/Event Browser", "", "Show the folder and event browser", ""},
    {ViewOptions, "&Options", "", "Show the people, places and things", ""},
    {ViewPictureData, "&Picture Data", "", "Show the picture data", ""},
    {ViewLargeImage, "&Large Image", "", "Show the large picture", ""},
    {ViewStatusBar, "&Status Bar", "", "Show or hide the status bar", ""},
    {Refresh, "&Refresh", "F5", "Sort and show the folder again", ""},
    {Zoom, "&Zoom", "", "Zoom the large picture", "zoom"},
    {CropMarks, "&Crop Marks", "", "Show the crop marks", "cropmarks"},
    {SlideShow, "Sl&ide Show", "", "Show a Slide Show", ""},
    {FullScreen, "&Full Screen", "", "Show the picture on the whole screen", ""},
    {Escape, "Stop", "Esc", "Stop the slide show or full screen", ""},
    {NextPane, "Next Pane", "F6", "Go to the next pane", ""},
    {PrevPane, "Previous Pane", "Shift+F6", "Go to the previous pane", ""},
    {SwitchPictureColumn, "Switch Picture View", "Ctrl+Tab", "Switch between the picture data and the large picture",
     ""},
    {RotateCrop, "Rotate Crop", "", "Turn the crop rectangle", "rotatecrop"},
    {RemoveCrop, "Remove Crop", "", "Crop to the whole picture", "removecrop"},
    {CropTopLeft, "Crop Top\\Left", "", "Anchor the crop at the top left", "croptopleft"},
    {CropCenter, "Crop Center", "", "Anchor the crop at the centre", "cropcenter"},
    {CropBottomRight, "Crop Bottom\\Right", "", "Anchor the crop at the bottom right", "cropbottomright"},
    {CheckForUpdates, "Check for &Updates...", "", "Ask the web site for a newer version", ""},
    {Tips, "&Tips...", "", "Show the tips", ""},
    {About, "&About Snaplore...", "", "Program information and version", ""},
};

// Toolbar button order; 0 is a separator.
inline constexpr int kMainToolbar[] = {FileOpen, Save, PrintPreview, Print, 0, Search,      SendEmail,  Spelling,
                                       0,        Cut,  Copy,         Paste, 0, PrevPicture, NextPicture};
// The headline, people count and rating controls of this bar come with the picture data toolbar.
inline constexpr int kPictureDataToolbar[] = {SmartHeadline,   SaveCopyNext, SaveNext, Save, 0,
                                              RemoveAllPeople, UseLastData,  Rotate};
// The "Picture Size:" list of this bar comes with the large picture view.
inline constexpr int kBigImageToolbar[] = {Zoom, CropMarks,   RotateCrop, RemoveCrop,
                                           0,    CropTopLeft, CropCenter, CropBottomRight};

// The answer of a running instance to the ping.
constexpr quint32 kPingAnswer = 10974732;  // 0xA7760C

}  // namespace cmd
