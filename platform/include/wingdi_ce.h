// Graphics of the CE SDK: device contexts, drawing objects, bitmaps, icons, fonts and text
// (included by <windows.h>).
#ifndef CE_WINGDI_H
#define CE_WINGDI_H

typedef struct tagSIZE {
    LONG cx, cy;
} SIZE, *PSIZE, *LPSIZE;
typedef int *LPINT;

#define RGB(r, g, b)                                                                               \
    ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) ((BYTE)(rgb))
#define GetGValue(rgb) ((BYTE)(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) ((BYTE)((rgb) >> 16))
#define CLR_INVALID 0xFFFFFFFF
#define HGDI_ERROR ((HANDLE)(LONG_PTR)-1)
#define GDI_ERROR 0xFFFFFFFFL

/* stock objects */
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_PALETTE 15
CEAPI HGDIOBJ GetStockObject(int fnObject);

/* object types */
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_PAL 5
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_REGION 8
#define OBJ_MEMDC 10

/* system colors: the index carries SYS_COLOR_INDEX_FLAG */
#define SYS_COLOR_INDEX_FLAG 0x40000000
#define COLOR_SCROLLBAR (0 | SYS_COLOR_INDEX_FLAG)
#define COLOR_BACKGROUND (1 | SYS_COLOR_INDEX_FLAG)
#define COLOR_ACTIVECAPTION (2 | SYS_COLOR_INDEX_FLAG)
#define COLOR_INACTIVECAPTION (3 | SYS_COLOR_INDEX_FLAG)
#define COLOR_MENU (4 | SYS_COLOR_INDEX_FLAG)
#define COLOR_WINDOW (5 | SYS_COLOR_INDEX_FLAG)
#define COLOR_WINDOWFRAME (6 | SYS_COLOR_INDEX_FLAG)
#define COLOR_MENUTEXT (7 | SYS_COLOR_INDEX_FLAG)
#define COLOR_WINDOWTEXT (8 | SYS_COLOR_INDEX_FLAG)
#define COLOR_CAPTIONTEXT (9 | SYS_COLOR_INDEX_FLAG)
#define COLOR_ACTIVEBORDER (10 | SYS_COLOR_INDEX_FLAG)
#define COLOR_INACTIVEBORDER (11 | SYS_COLOR_INDEX_FLAG)
#define COLOR_APPWORKSPACE (12 | SYS_COLOR_INDEX_FLAG)
#define COLOR_HIGHLIGHT (13 | SYS_COLOR_INDEX_FLAG)
#define COLOR_HIGHLIGHTTEXT (14 | SYS_COLOR_INDEX_FLAG)
#define COLOR_BTNFACE (15 | SYS_COLOR_INDEX_FLAG)
#define COLOR_BTNSHADOW (16 | SYS_COLOR_INDEX_FLAG)
#define COLOR_GRAYTEXT (17 | SYS_COLOR_INDEX_FLAG)
#define COLOR_BTNTEXT (18 | SYS_COLOR_INDEX_FLAG)
#define COLOR_INACTIVECAPTIONTEXT (19 | SYS_COLOR_INDEX_FLAG)
#define COLOR_BTNHIGHLIGHT (20 | SYS_COLOR_INDEX_FLAG)
#define COLOR_3DDKSHADOW (21 | SYS_COLOR_INDEX_FLAG)
#define COLOR_3DLIGHT (22 | SYS_COLOR_INDEX_FLAG)
#define COLOR_INFOTEXT (23 | SYS_COLOR_INDEX_FLAG)
#define COLOR_INFOBK (24 | SYS_COLOR_INDEX_FLAG)
#define COLOR_STATIC (25 | SYS_COLOR_INDEX_FLAG)
#define COLOR_STATICTEXT (26 | SYS_COLOR_INDEX_FLAG)
#define COLOR_GRADIENTACTIVECAPTION (27 | SYS_COLOR_INDEX_FLAG)
#define COLOR_GRADIENTINACTIVECAPTION (28 | SYS_COLOR_INDEX_FLAG)
#define C_SYS_COLOR_TYPES 29
#define COLOR_DESKTOP COLOR_BACKGROUND
#define COLOR_3DFACE COLOR_BTNFACE
#define COLOR_3DSHADOW COLOR_BTNSHADOW
#define COLOR_3DHIGHLIGHT COLOR_BTNHIGHLIGHT
#define COLOR_3DHILIGHT COLOR_BTNHIGHLIGHT
#define COLOR_BTNHILIGHT COLOR_BTNHIGHLIGHT
CEAPI DWORD GetSysColor(int nIndex);
CEAPI HBRUSH GetSysColorBrush(int nIndex);
CEAPI BOOL SetSysColors(int cElements, const INT *lpaElements, const COLORREF *lpaRgbValues);

/* device contexts */
typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *PPAINTSTRUCT, *LPPAINTSTRUCT;
CEAPI HDC GetDC(HWND hWnd);
CEAPI HDC GetWindowDC(HWND hWnd);
CEAPI int ReleaseDC(HWND hWnd, HDC hDC);
CEAPI HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT lpPaint);
CEAPI BOOL EndPaint(HWND hWnd, const PAINTSTRUCT *lpPaint);
CEAPI HDC CreateCompatibleDC(HDC hdc);
CEAPI BOOL DeleteDC(HDC hdc);
CEAPI int SaveDC(HDC hdc);
CEAPI BOOL RestoreDC(HDC hdc, int nSavedDC);
CEAPI HGDIOBJ SelectObject(HDC hdc, HGDIOBJ hgdiobj);
CEAPI BOOL DeleteObject(HGDIOBJ hObject);
CEAPI HGDIOBJ GetCurrentObject(HDC hdc, UINT uObjectType);
CEAPI int GetObjectW(HGDIOBJ hgdiobj, int cbBuffer, LPVOID lpvObject);
CEAPI DWORD GetObjectType(HGDIOBJ h);
#define GetObject GetObjectW
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define RASTERCAPS 38
#define LOGPIXELSX 88
#define LOGPIXELSY 90
CEAPI int GetDeviceCaps(HDC hdc, int nIndex);

/* rectangles */
CEAPI BOOL SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom);
CEAPI BOOL SetRectEmpty(LPRECT lprc);
CEAPI BOOL CopyRect(LPRECT lprcDst, const RECT *lprcSrc);
CEAPI BOOL IsRectEmpty(const RECT *lprc);
CEAPI BOOL EqualRect(const RECT *lprc1, const RECT *lprc2);
CEAPI BOOL OffsetRect(LPRECT lprc, int dx, int dy);
CEAPI BOOL InflateRect(LPRECT lprc, int dx, int dy);
CEAPI BOOL IntersectRect(LPRECT lprcDst, const RECT *lprcSrc1, const RECT *lprcSrc2);
CEAPI BOOL UnionRect(LPRECT lprcDst, const RECT *lprcSrc1, const RECT *lprcSrc2);
CEAPI BOOL SubtractRect(LPRECT lprcDst, const RECT *lprcSrc1, const RECT *lprcSrc2);
CEAPI BOOL PtInRect(const RECT *lprc, POINT pt);

/* regions and clipping */
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
#define RGN_ERROR ERROR
#define RGN_AND 1
#define RGN_OR 2
#define RGN_XOR 3
#define RGN_DIFF 4
#define RGN_COPY 5
CEAPI HRGN CreateRectRgn(int nLeftRect, int nTopRect, int nRightRect, int nBottomRect);
CEAPI HRGN CreateRectRgnIndirect(const RECT *lprc);
CEAPI int CombineRgn(HRGN hrgnDest, HRGN hrgnSrc1, HRGN hrgnSrc2, int fnCombineMode);
CEAPI BOOL SetRectRgn(HRGN hrgn, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect);
CEAPI int GetRgnBox(HRGN hrgn, LPRECT lprc);
CEAPI int OffsetRgn(HRGN hrgn, int nXOffset, int nYOffset);
CEAPI BOOL PtInRegion(HRGN hrgn, int X, int Y);
CEAPI BOOL RectInRegion(HRGN hrgn, const RECT *lprc);
CEAPI BOOL EqualRgn(HRGN hSrcRgn1, HRGN hSrcRgn2);
CEAPI BOOL FillRgn(HDC hdc, HRGN hrgn, HBRUSH hbr);
CEAPI int SelectClipRgn(HDC hdc, HRGN hrgn);
CEAPI int GetClipRgn(HDC hdc, HRGN hrgn);
CEAPI int IntersectClipRect(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect);
CEAPI int ExcludeClipRect(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect);
CEAPI int GetClipBox(HDC hdc, LPRECT lprc);

/* pens and brushes */
#define PS_SOLID 0
#define PS_DASH 1
#define PS_NULL 5
typedef struct tagLOGPEN {
    UINT lopnStyle;
    POINT lopnWidth;
    COLORREF lopnColor;
} LOGPEN, *PLOGPEN, *LPLOGPEN;
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL
#define BS_PATTERN 3
#define BS_DIBPATTERNPT 6
typedef struct tagLOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    LONG lbHatch;
} LOGBRUSH, *PLOGBRUSH, *LPLOGBRUSH;
CEAPI HPEN CreatePen(int fnPenStyle, int nWidth, COLORREF crColor);
CEAPI HPEN CreatePenIndirect(const LOGPEN *lplgpn);
CEAPI HBRUSH CreateSolidBrush(COLORREF crColor);

/* drawing */
#define R2_BLACK 1
#define R2_NOTMERGEPEN 2
#define R2_MASKNOTPEN 3
#define R2_NOTCOPYPEN 4
#define R2_MASKPENNOT 5
#define R2_NOT 6
#define R2_XORPEN 7
#define R2_NOTMASKPEN 8
#define R2_MASKPEN 9
#define R2_NOTXORPEN 10
#define R2_NOP 11
#define R2_MERGENOTPEN 12
#define R2_COPYPEN 13
#define R2_MERGEPENNOT 14
#define R2_MERGEPEN 15
#define R2_WHITE 16
CEAPI int SetROP2(HDC hdc, int fnDrawMode);
CEAPI int GetROP2(HDC hdc);
CEAPI int FillRect(HDC hDC, const RECT *lprc, HBRUSH hbr);
CEAPI BOOL Rectangle(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect);
CEAPI BOOL Polyline(HDC hdc, const POINT *lppt, int cPoints);
CEAPI BOOL Polygon(HDC hdc, const POINT *lpPoints, int nCount);
CEAPI BOOL MoveToEx(HDC hdc, int X, int Y, LPPOINT lpPoint);
CEAPI BOOL LineTo(HDC hdc, int nXEnd, int nYEnd);
CEAPI BOOL DrawFocusRect(HDC hDC, const RECT *lprc);
CEAPI COLORREF SetPixel(HDC hdc, int X, int Y, COLORREF crColor);
CEAPI COLORREF GetPixel(HDC hdc, int nXPos, int nYPos);

/* raster operations */
#define SRCCOPY 0x00CC0020
#define SRCPAINT 0x00EE0086
#define SRCAND 0x008800C6
#define SRCINVERT 0x00660046
#define SRCERASE 0x00440328
#define NOTSRCCOPY 0x00330008
#define NOTSRCERASE 0x001100A6
#define MERGECOPY 0x00C000CA
#define MERGEPAINT 0x00BB0226
#define PATCOPY 0x00F00021
#define PATPAINT 0x00FB0A09
#define PATINVERT 0x005A0049
#define DSTINVERT 0x00550009
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062
CEAPI BOOL PatBlt(HDC hdc, int nXLeft, int nYLeft, int nWidth, int nHeight, DWORD dwRop);
CEAPI BOOL BitBlt(HDC hdcDest, int nXDest, int nYDest, int nWidth, int nHeight, HDC hdcSrc,
                  int nXSrc, int nYSrc, DWORD dwRop);
CEAPI BOOL StretchBlt(HDC hdcDest, int nXOriginDest, int nYOriginDest, int nWidthDest,
                      int nHeightDest, HDC hdcSrc, int nXOriginSrc, int nYOriginSrc, int nWidthSrc,
                      int nHeightSrc, DWORD dwRop);

/* bitmaps */
typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *PBITMAP, *LPBITMAP;
typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;
typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *PBITMAPINFOHEADER, *LPBITMAPINFOHEADER;
typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *PBITMAPINFO, *LPBITMAPINFO;
#define BI_RGB 0L
#define BI_BITFIELDS 3L
#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1
CEAPI HBITMAP CreateBitmap(int nWidth, int nHeight, UINT cPlanes, UINT cBitsPerPel,
                           const void *lpvBits);
CEAPI HBITMAP CreateCompatibleBitmap(HDC hdc, int nWidth, int nHeight);
CEAPI HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO *pbmi, UINT iUsage, void **ppvBits,
                               HANDLE hSection, DWORD dwOffset);
CEAPI HBITMAP LoadBitmapW(HINSTANCE hInstance, LPCWSTR lpBitmapName);
#define LoadBitmap LoadBitmapW

/* icons */
typedef struct _ICONINFO {
    BOOL fIcon;
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;
} ICONINFO, *PICONINFO;
#define DI_MASK 0x0001
#define DI_IMAGE 0x0002
#define DI_NORMAL 0x0003
#define DI_DEFAULTSIZE 0x0008
#define IMAGE_CURSOR 2
#define LR_DEFAULTCOLOR 0x0000
#define LR_MONOCHROME 0x0001
#define LR_LOADFROMFILE 0x0010
#define LR_DEFAULTSIZE 0x0040
#define LR_SHARED 0x8000
CEAPI HANDLE LoadImageW(HINSTANCE hinst, LPCWSTR lpszName, UINT uType, int cxDesired, int cyDesired,
                        UINT fuLoad);
#define LoadImage LoadImageW
CEAPI BOOL DrawIconEx(HDC hdc, int xLeft, int yTop, HICON hIcon, int cxWidth, int cyWidth,
                      UINT istepIfAniCur, HBRUSH hbrFlickerFreeDraw, UINT diFlags);
#define DrawIcon(hdc, x, y, hicon) DrawIconEx(hdc, x, y, hicon, 0, 0, 0, NULL, DI_NORMAL)
CEAPI HICON CreateIconIndirect(PICONINFO piconinfo);
CEAPI BOOL GetIconInfo(HICON hIcon, PICONINFO piconinfo);

/* fonts and text */
#define LF_FACESIZE 32
typedef struct tagLOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
} LOGFONTW, *PLOGFONTW, *LPLOGFONTW, LOGFONT, *LPLOGFONT;
typedef struct tagTEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
} TEXTMETRICW, *PTEXTMETRICW, *LPTEXTMETRICW, TEXTMETRIC, *LPTEXTMETRIC;
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_EXTRALIGHT 200
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_EXTRABOLD 800
#define FW_HEAVY 900
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define DRAFT_QUALITY 1
#define PROOF_QUALITY 2
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30
#define TMPF_FIXED_PITCH 0x01
#define TMPF_VECTOR 0x02
#define TMPF_TRUETYPE 0x04
CEAPI HFONT CreateFontIndirectW(const LOGFONTW *lplf);
CEAPI BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm);
CEAPI int GetTextFaceW(HDC hdc, int nCount, LPWSTR lpFaceName);
CEAPI BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE lpSize);
CEAPI BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR lpszStr, int cchString, int nMaxExtent,
                                 LPINT lpnFit, LPINT alpDx, LPSIZE lpSize);
#define CreateFontIndirect CreateFontIndirectW
#define GetTextMetrics GetTextMetricsW
#define GetTextExtentPoint32 GetTextExtentPoint32W
#define GetTextExtentExPoint GetTextExtentExPointW
#define TRANSPARENT 1
#define OPAQUE 2
CEAPI COLORREF SetTextColor(HDC hdc, COLORREF crColor);
CEAPI COLORREF GetTextColor(HDC hdc);
CEAPI COLORREF SetBkColor(HDC hdc, COLORREF crColor);
CEAPI COLORREF GetBkColor(HDC hdc);
CEAPI int SetBkMode(HDC hdc, int iBkMode);
CEAPI int GetBkMode(HDC hdc);
#define ETO_OPAQUE 0x0002
#define ETO_CLIPPED 0x0004
CEAPI BOOL ExtTextOutW(HDC hdc, int X, int Y, UINT fuOptions, const RECT *lprc, LPCWSTR lpString,
                       UINT cbCount, const int *lpDx);
#define ExtTextOut ExtTextOutW
#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_TABSTOP 0x00000080
#define DT_NOCLIP 0x00000100
#define DT_EXTERNALLEADING 0x00000200
#define DT_CALCRECT 0x00000400
#define DT_NOPREFIX 0x00000800
#define DT_INTERNAL 0x00001000
#define DT_EDITCONTROL 0x00002000
#define DT_END_ELLIPSIS 0x00008000
CEAPI int DrawTextW(HDC hDC, LPCWSTR lpString, int nCount, LPRECT lpRect, UINT uFormat);
#define DrawText DrawTextW

#endif
