// GetOpenFileNameW: the dialog's window (file_dialog_window.cpp), answered by whoever answers for
// the device (emul/answers.h) or by the pen and the keys on it; with nobody to answer, it is
// cancelled. Journaled with its result.
#include <commdlg.h>
#include <windows.h>

#include "emul/answers.h"
#include "emul/device.h"
#include "emul/files.h"
#include "emul/shell.h"
#include "shell/file_dialog.h"

using namespace emul;

namespace {

constexpr DWORD kOpenFileNameSizeCe = 76;
constexpr DWORD kFnErrBufferTooSmall = 0x3003;
constexpr DWORD kCdErrStructSize = 0x0001;
// Each emulated thread is a host thread of its own: the error is the calling thread's, as on the
// platform.
thread_local DWORD lastDialogError = 0;

// The patterns of the filter the dialog starts with: "Text\0*.txt;*.doc\0..." by its 1-based
// index; none (every file) without a filter or past its end.
std::u16string filterPatterns(const OPENFILENAMEW *ofn) {
    const WCHAR *f = ofn->lpstrFilter;
    DWORD index = ofn->nFilterIndex ? ofn->nFilterIndex : 1;
    for (DWORD i = 1; f && *f; ++i) {
        const WCHAR *pattern = f + std::char_traits<char16_t>::length(f) + 1;
        if (i == index)
            return pattern;
        if (!*pattern)
            break;
        f = pattern + std::char_traits<char16_t>::length(pattern) + 1;
    }
    return u"";
}

BOOL runFileDialog(LPOPENFILENAMEW ofn, const char *call, bool save) {
    Device &d = dev();
    lastDialogError = 0;
    if (!ofn || (ofn->lStructSize != kOpenFileNameSizeCe && ofn->lStructSize != sizeof(*ofn))) {
        lastDialogError = kCdErrStructSize;
        d.journal().call(
            call,
            Fields().num("flags", ofn ? ofn->Flags : 0).boolean("result", false).null("file"));
        return FALSE;
    }
    FileDialogRequest request;
    request.owner = ofn->hwndOwner;
    request.title = ofn->lpstrTitle ? ofn->lpstrTitle : save ? u"Save As" : u"Open";
    request.initialDir = ofn->lpstrInitialDir ? ofn->lpstrInitialDir : u"";
    request.patterns = filterPatterns(ofn);
    request.mustExist = (ofn->Flags & OFN_FILEMUSTEXIST) != 0;
    Answers::FilePick answer;
    if (Answers *user = d.shell().answers.get())
        answer = user->openFile(request.initialDir);
    std::optional<std::u16string> pick = runFileDialogWindow(request, answer);
    // The dialog offers only files that exist when the program asks for that.
    if (pick && (ofn->Flags & OFN_FILEMUSTEXIST) && !d.files().exists(*pick))
        pick.reset();
    BOOL ok = FALSE;
    if (pick) {
        const std::u16string &path = *pick;
        size_t slash = path.find_last_of(u'\\');
        size_t nameAt = slash == std::u16string::npos ? 0 : slash + 1;
        size_t dot = path.find_last_of(u'.');
        if (!ofn->lpstrFile || ofn->nMaxFile <= path.size()) {
            // Too small: the first WORD of the buffer tells the size needed.
            if (ofn->lpstrFile && ofn->nMaxFile >= 1)
                ofn->lpstrFile[0] = WCHAR(path.size() + 1);
            lastDialogError = kFnErrBufferTooSmall;
        } else {
            std::copy(path.begin(), path.end(), ofn->lpstrFile);
            ofn->lpstrFile[path.size()] = 0;
            if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0) {
                size_t n = std::min(path.size() - nameAt, size_t(ofn->nMaxFileTitle - 1));
                std::copy(path.begin() + long(nameAt), path.begin() + long(nameAt + n),
                          ofn->lpstrFileTitle);
                ofn->lpstrFileTitle[n] = 0;
            }
            ofn->nFileOffset = WORD(nameAt);
            ofn->nFileExtension =
                WORD(dot == std::u16string::npos || dot < nameAt ? path.size() : dot + 1);
            ok = TRUE;
        }
    }
    Fields f;
    f.num("flags", ofn->Flags).boolean("result", ok != FALSE);
    if (ok)
        f.str("file", ofn->lpstrFile);
    else
        f.null("file");
    d.journal().call(call, f);
    return ok;
}

} // namespace

CEAPI BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn) {
    return runFileDialog(ofn, "GetOpenFileNameW", false);
}

CEAPI BOOL GetSaveFileNameW(LPOPENFILENAMEW ofn) {
    return runFileDialog(ofn, "GetSaveFileNameW", true);
}

CEAPI DWORD CommDlgExtendedError(void) {
    return lastDialogError;
}
