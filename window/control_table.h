#pragma once

// The main window's members that come in lists, each list written once. Every row is expanded
// where it is needed: the typed accessors and their member declarations, the creation order, the
// font calls, the property lists, the class table and the event bindings.

// The nineteen controls, in creation order:
//   X(name, class of its accessor, class it is made of, font calls, list maker, list values...)
// The list maker gets the name first; the values are those of the control's own row of design
// values (bounds, locks, TabIndex, then the initial content).
#define FRAMETIDE_WINDOW1_CONTROLS(X)                                                           \
  X(StaticText1, StaticText, fw::StaticText, kTextSize | kTextUnit, StaticTextList,             \
    {375, 190, 257, 107}, kNoLocks, 0, kInstructions, true)                                     \
  X(EditField1, EditField, fw::EditField, kTextSize, EditFieldList, {52, 14, 615, 19},          \
    kLockLeft | kLockRight, 1, "")                                                              \
  X(Socket1, HTTPSocket, Window1Socket1, kNoFont, HTTPSocketList, "", 0, false)                 \
  X(ProgressBar1, ProgressBar, fw::ProgressBar, kNoFont, ProgressBarList, {20, 366, 647, 13},   \
    kLockLeft | kLockRight | kLockBottom, 0, 100)                                               \
  X(Timer1, Timer, Window1Timer1, kNoFont, TimerList, 2, 10000)                                 \
  X(PushButton1, PushButton, fw::PushButton, kTextSize | kTextUnit, PushButtonList,             \
    {220, 46, 80, 20}, kLockRight, 2, "start")                                                  \
  X(Canvas1, Canvas, fw::Canvas, kNoFont, CanvasList, {20, 90, 280, 203}, kNoLocks, 3)          \
  X(nummer, StaticText, fw::StaticText, kTextSize | kTextUnit, StaticTextList,                  \
    {375, 333, 292, 19}, kNoLocks, 4, "")                                                       \
  X(StaticText2, StaticText, fw::StaticText, kTextSize | kTextUnit, StaticTextList,             \
    {18, 46, 115, 20}, kNoLocks, 5, "period in seconds:")                                       \
  X(PushButton2, PushButton, fw::PushButton, kTextSize | kTextUnit, PushButtonList,             \
    {220, 332, 80, 20}, kLockRight | kLockBottom, 6, "make qt")                                 \
  X(periode, EditField, fw::EditField, kTextSize, EditFieldList, {137, 45, 65, 22}, kNoLocks,   \
    7, "10")                                                                                    \
  X(StaticText3, StaticText, fw::StaticText, kTextSize | kTextUnit, StaticTextList,             \
    {20, 334, 115, 20}, kLockBottom, 8, "frames per second:")                                   \
  X(fps, EditField, fw::EditField, kTextSize, EditFieldList, {137, 332, 65, 22}, kLockBottom,   \
    9, "25")                                                                                    \
  X(StaticText4, StaticText, fw::StaticText, kTextSize | kTextUnit, StaticTextList,             \
    {375, 92, 60, 20}, kNoLocks, 10, "start date")                                              \
  X(StaticText5, StaticText, fw::StaticText, kTextSize | kTextUnit, StaticTextList,             \
    {375, 124, 60, 20}, kNoLocks, 11, "stop date")                                              \
  X(StaticText7, StaticText, fw::StaticText, kTextUnit, StaticTextList, {20, 305, 113, 23},     \
    kLockLeft | kLockTop, 12, "post processing:")                                               \
  X(StaticText8, StaticText, fw::StaticText, kTextUnit, StaticTextList, {20, 14, 35, 20},       \
    kLockLeft | kLockTop, 13, "url: ")                                                          \
  X(dvon, EditField, fw::EditField, kNoFont, EditFieldList, {447, 90, 220, 22}, kNoLocks, 14,   \
    "")                                                                                         \
  X(dbis, EditField, fw::EditField, kNoFont, EditFieldList, {447, 122, 220, 22}, kNoLocks, 15,  \
    "")

// The six control events, in binding order; the handler of each is the window's member
// <control>_<event>, whose argument types are those of the signature text.
//   X(control, event, signature text, invoker)
#define FRAMETIDE_WINDOW1_EVENTS(X)                                                             \
  X(Socket1, ReceiveProgress, "( Int32, Int32, String )", IM_Invoke_Int32Int32String)           \
  X(Socket1, Error, "( Int32 )", IM_Invoke_Int32)                                               \
  X(Socket1, DownloadComplete, "( String, Int32, InternetHeaders, FolderItem )",                \
    IM_Invoke_StringInt32HeadersFile)                                                           \
  X(Timer1, Action, "(  )", IM_Invoke_None)                                                     \
  X(PushButton1, Action, "(  )", IM_Invoke_None)                                                \
  X(PushButton2, Action, "(  )", IM_Invoke_None)

// The menu-item accessors, in class-table order: X(name of the item, its class).
#define FRAMETIDE_WINDOW1_MENU_ITEMS(X)                                                         \
  X(UntitledMenu0, MenuItem)                                                                    \
  X(EditClear, MenuItem)                                                                        \
  X(EditPaste, MenuItem)                                                                        \
  X(EditCopy, MenuItem)                                                                         \
  X(EditCut, MenuItem)                                                                          \
  X(UntitledMenu1, MenuItem)                                                                    \
  X(EditUndo, MenuItem)                                                                         \
  X(UntitledMenu2, MenuItem)                                                                    \
  X(FileQuit, QuitMenuItem)                                                                     \
  X(UntitledMenu3, MenuItem)
