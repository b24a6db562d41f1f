// Shell folders of the CE SDK (special folders and item-id lists).
#ifndef CE_SHLOBJ_H
#define CE_SHLOBJ_H
#include <shellapi.h>
#include <windows.h>

typedef struct _SHITEMID {
    WORD cb;
    BYTE abID[1];
} SHITEMID, *LPSHITEMID;
typedef const SHITEMID *LPCSHITEMID;
typedef struct _ITEMIDLIST {
    SHITEMID mkid;
} ITEMIDLIST, *LPITEMIDLIST;
typedef const ITEMIDLIST *LPCITEMIDLIST;

CEAPI HRESULT SHGetSpecialFolderLocation(HWND hwndOwner, int nFolder, LPITEMIDLIST *ppidl);
CEAPI BOOL SHGetPathFromIDList(LPCITEMIDLIST pidl, LPWSTR pszPath);
CEAPI BOOL SHGetSpecialFolderPath(HWND hwndOwner, LPWSTR lpszPath, int nFolder, BOOL fCreate);

#endif
