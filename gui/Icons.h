// Pictures of the window's buttons, drawn here so that the program ships no image files.
#pragma once

#include <QIcon>

QIcon ApplicationIcon();  // a page with lines of text under a quill
QIcon ScannerIcon();      // a flatbed scanner
QIcon SourceIcon();       // a scanner with a list: the choice of device
QIcon RecogniseIcon();    // a page turning into text
QIcon FindLinesIcon();    // a page with boxed lines
QIcon RenderIcon();       // a half black, half white disc
QIcon RotateIcon();       // a turning arrow
QIcon CancelIcon();       // a red cross
QIcon InfoIcon();         // an "i" in a blue disc
QIcon HelpIcon();         // a "?" in a green disc
QIcon LeaveIcon();        // an open door with an arrow
QIcon OpenIcon();         // a folder
QIcon SaveIcon();         // a disk
