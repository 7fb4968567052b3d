// The HTML edit control "HtmlEditCtrl": decorated mail shown (reading mode,
// or the read-only style) and edited, over one document model. Beside the
// rich-edit calls (selection, lines, limits, event mask, WM_SETTEXT as plain
// text) it answers the private messages below; their meanings are the
// library's own, chosen where the program only names a number.
#pragma once

#include "outside/Markwright/MarkwrightExport.h"
#include "outside/Markwright/QvCharFormat.h"
#include "platform/ui/CommCtrl.h"
#include "platform/ui/WinUser.h"

#define HTMLEDIT_CLASS L"HtmlEditCtrl"

// Messages to the control.
#define HEM_SETCHARFORMAT 0x0500u   // wParam mask (QVCF_*), lParam const QvCharFormat*: the selection, or the typing format
#define HEM_INSERTIMAGE 0x0510u     // lParam (or wParam) the picture's device path; notifications 1 then 3
#define HEM_INSERTRULE 0x0530u      // a horizontal rule after the caret's paragraph
#define HEM_APPENDTEXT 0x0540u      // lParam (or wParam) text added at the end in the default format
#define HEM_SETBKCOLOR 0x0541u      // wParam COLORREF: the document's background
#define HEM_PARAGRAPHON 0x0563u     // wParam kind 1..3 alignment, 4, 5 the properties (-1: kind in lParam)
#define HEM_PARAGRAPHOFF 0x0564u    // wParam kind 4 or 5 (-1: kind in lParam); 1..3 back to left
#define HEM_SETFILELISTS 0x0569u    // wParam inline QvHtmlFileList*, lParam extra QvHtmlFileList* (copied)
#define HEM_LOADHTML 0x0570u        // wParam (or lParam) the HTML text; caret at the start
#define HEM_SETCOLOR 0x0580u        // wParam COLORREF of the selection or typing format
#define HEM_SELECTLINK 0x0585u      // wParam link index in document order: focus it; TRUE when it exists
#define HEM_GETLINKLENGTH 0x0586u   // length of the focused link's address (0 when none)
#define HEM_GETLINKTEXT 0x0587u     // wParam buffer size, lParam buffer: the focused link's address; its length
#define HEM_FOCUSLASTLINK 0x0588u   // focus the last link, caret at its start; TRUE when there is one
#define HEM_GETCARETSIZE 0x0590u    // MAKELONG(width, height) of the caret
#define HEM_GETCARETPOS 0x0591u     // lParam POINT*: the caret's client position; MAKELONG(x, y)
#define HEM_SELECTIONMODE 0x0592u   // wParam 1: caret moves extend the selection; 0: back to normal
#define HEM_LEAVEDECORATION 0x0593u // format reports (notification 4) stop until the control has the focus again
#define HEM_CARETTOTOP 0x0594u      // caret to the start of the first visible line
#define HEM_MOVELINKFOCUS 0x0595u   // wParam 0 next, 1 previous; lParam RECT* (client) the links may lie in; TRUE moved, FALSE no move
#define HEM_GETLINKRECT 0x0596u     // lParam RECT*: client rectangle of the focused link, -1 in all four when none
#define HEM_GETTEXTLENGTH 0x0597u   // characters of the plain text (WM_GETTEXTLENGTH's count)
#define HEM_GETTEXT 0x0598u         // wParam buffer size, lParam buffer: the plain text; characters copied
#define HEM_GETSELECTION 0x0599u    // lParam CHARRANGE*: the selection; answers its end
#define HEM_SETRECORD 0x05A0u       // wParam int[2]: the control keeps the laid-out width and height there
#define HEM_CARETTOEND 0x05A5u      // caret to the end of the text
#define HEM_GETHTML 0x05A6u         // wParam buffer size (0: only the length), lParam buffer: the HTML; its length
#define HEM_READINGMODE 0x05B5u     // reading mode on (caret hidden, links focused and scrolled to)
#define HEM_LINKATCHAR 0x05B7u      // wParam character index, lParam buffer of HTMLEDIT_MAXLINK: the link's address there; its kind (0 none)

// Messages from the control to its parent.
#define HEN_DOCUMENTERROR 0x05B0u   // a document could not be held (too large): wParam 0
#define HEN_PARTDROPPED 0x05B8u     // wParam the inline list index of a picture the edit removed
#define HEN_PARTSCHANGED 0x0571u    // after HEN_PARTDROPPED reports: wParam 1
#define HEN_HEIGHTCHANGED 0x0602u   // WM_COMMAND code: the content height changed

// WM_NOTIFY codes (NMHTMLEDIT).
#define HEN_IMAGEINSERTING 1  // text: the picture's path
#define HEN_RESOLVE 2         // text: the reference ("cid:..." or a file name); the parent may copy a path to buffer
#define HEN_IMAGECHECK 3      // text, fileSize: answer nonzero to refuse the picture
#define HEN_FORMAT 4          // format and paragraph: what the caret stands in

#define HTMLEDIT_MAXLINK 2048
#define HTMLEDIT_MAXPATH 260

struct NMHTMLEDIT {
  NMHDR hdr;
  const wchar_t* text;
  wchar_t* buffer;     // HTMLEDIT_MAXPATH + 1 characters
  int bufferChars;
  DWORD fileSize;
  QvCharFormat format;
  int paragraph;       // 1..3 alignment, or 4, 5 while that property is on
};

// Pictographs: the program gives the control its own way to measure and draw
// text with pictographs; without it text is drawn with the font alone.
struct HtmlEditTextPainter {
  // Right edge of each character from the text's start into `widths`; how many fit into maxWidth.
  int (*fit)(HDC dc, const wchar_t* text, int length, int maxWidth, int* widths, int fontHeight);
  // Draws with the top-left corner at (x, y); the x after the text.
  int (*draw)(HDC dc, int x, int y, const wchar_t* text, int length, int fontHeight);
};

extern "C" {
// Registers the window class; called once by the program at its start.
MARKWRIGHT_API BOOL InitializeHtmlEditCtrl(HINSTANCE instance, DWORD reserved);
MARKWRIGHT_API void TerminateHtmlEditCtrl();
MARKWRIGHT_API void SetHtmlEditTextPainter(const HtmlEditTextPainter* painter);
}
