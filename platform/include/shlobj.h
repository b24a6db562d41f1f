// Shell folders of the CE SDK: special folders and their item lists.
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

#define S_OK ((HRESULT)0L)
#define S_FALSE ((HRESULT)1L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

CEAPI HRESULT SHGetSpecialFolderLocation(HWND hwndOwner, int nFolder, LPITEMIDLIST *ppidl);
CEAPI BOOL SHGetPathFromIDList(LPCITEMIDLIST pidl, LPWSTR pszPath);
CEAPI BOOL SHGetSpecialFolderPath(HWND hwndOwner, LPWSTR lpszPath, int nFolder, BOOL fCreate);
#define SHGetPathFromIDListW SHGetPathFromIDList
#define SHGetSpecialFolderPathW SHGetSpecialFolderPath

#endif
