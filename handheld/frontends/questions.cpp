// Questions put to the person at the screen: message boxes and the file-open dialog.
#include "frontends/questions.h"

#include "frontends/recorder.h"

#include <windows.h>

#include "emul/device.h"
#include "emul/files.h"
#include "emul/harness.h"
#include "emul/kernel.h"
#include "emul/text.h"
#include "emul/windows_sys.h"

#include <algorithm>

namespace handheld {

namespace {

const char *buttonName(int id) {
    switch (id) {
    case IDOK:
        return "OK";
    case IDCANCEL:
        return "Cancel";
    case IDABORT:
        return "Abort";
    case IDRETRY:
        return "Retry";
    case IDIGNORE:
        return "Ignore";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    }
    return "?";
}

// Text cut into lines of at most `width` characters, at blanks where it can be.
std::vector<std::u16string> wrap(const std::u16string &text, size_t width) {
    std::vector<std::u16string> lines;
    std::u16string line;
    for (size_t i = 0; i <= text.size(); ++i) {
        char16_t c = i < text.size() ? text[i] : u'\n';
        if (c == u'\r')
            continue;
        if (c == u'\n') {
            lines.push_back(line);
            line.clear();
            continue;
        }
        line += c;
        if (line.size() > width) {
            size_t cut = line.find_last_of(u' ', width);
            if (cut == std::u16string::npos || cut == 0)
                cut = width;
            lines.push_back(line.substr(0, cut));
            line = line.substr(cut + (line[cut] == u' ' ? 1 : 0));
        }
    }
    return lines;
}

// A line of the box: its text, blanks to its width.
void put(Picture &p, int x, int y, const std::u16string &text, int width, uint8_t attr = 0) {
    std::u16string t = text.substr(0, size_t(std::max(0, width)));
    t.resize(size_t(std::max(0, width)), u' ');
    p.put(x, y, t, width, attr);
}

constexpr int kBoxWidth = 34; // cells, inside the device's 40

} // namespace

Questions::Questions(emul::Device &device, SessionRecorder &recorder)
    : device_(device), recorder_(recorder) {
    frontEnd_ = device_.kernel().self();
    emul::harness::scriptedAnswers().otherwise = this;
}

Questions::~Questions() {
    emul::harness::scriptedAnswers().otherwise = nullptr;
    whileWaiting = nullptr;
    workWaiting = nullptr;
    // A program still waiting takes the default answer and leaves this object before it goes.
    if (pending()) {
        dismiss();
        device_.kernel().block([this] { return !pending(); }, device_.kernel().now() + 1000);
    }
}

// The asking program's thread waits here as it would for input, until the person answers.
void Questions::waitForAnswer() {
    emul::Kernel &k = device_.kernel();
    emul::Thread *self = k.self();
    answered_ = false;
    struct Ended {
        Questions *q;
        emul::Thread *t;
        ~Ended() {
            q->device_.windows().setWaitingForInput(t, false);
            q->kind_ = None;
        }
    } ended{this, self};
    device_.windows().setWaitingForInput(self, true);
    while (!answered_) {
        if (whileWaiting)
            whileWaiting();
        if (!answered_)
            k.block([this] { return answered_ || (workWaiting && workWaiting()); }, emul::kNever);
    }
}

void Questions::dismiss() {
    result_ = 0;
    path_.reset();
    answered_ = true;
}

int Questions::messageBox(const std::u16string &text, const std::u16string &caption,
                          uint32_t type) {
    // The screen's own thread cannot wait for itself; nor is there room for two questions.
    if (device_.kernel().self() == frontEnd_ || pending())
        return 0;
    kind_ = Box;
    text_ = text;
    caption_ = caption;
    type_ = type;
    buttons_ = emul::messageBoxButtons(type);
    focus_ = std::min(size_t((type >> 8) & 0xF), buttons_.size() - 1);
    result_ = 0;
    waitForAnswer();
    return result_;
}

std::optional<std::u16string> Questions::openFile(const std::u16string &initialDir) {
    if (device_.kernel().self() == frontEnd_ || pending())
        return std::nullopt;
    kind_ = File;
    path_.reset();
    std::u16string start = initialDir;
    if (start.empty() || !device_.files().exists(start))
        start = device_.files().exists(u"\\My Documents") ? u"\\My Documents" : u"\\";
    list(start);
    waitForAnswer();
    return path_;
}

void Questions::answerBox(int button) {
    result_ = button;
    answered_ = true;
    // The scenario's "yes" is the first button, "no" the No button or else the last one.
    recorder_.before(std::string("answer ") + (button == buttons_.front() ? "yes" : "no"));
}

void Questions::answerFile(std::optional<std::u16string> path) {
    path_ = std::move(path);
    answered_ = true;
    recorder_.before("choose " +
                     (path_ ? scenarioWord(emul::utf8(*path_)) : std::string("cancel")));
}

void Questions::list(const std::u16string &folder) {
    folder_ = folder;
    entries_.clear();
    if (folder_ != u"\\")
        entries_.push_back(Entry{u"..", true});
    std::vector<Entry> files;
    WIN32_FIND_DATAW found;
    std::u16string pattern = (folder_ == u"\\" ? u"" : folder_) + u"\\*";
    HANDLE h = FindFirstFileW(pattern.c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            Entry e{std::u16string(found.cFileName),
                    (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
            (e.folder ? entries_ : files).push_back(e);
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    entries_.insert(entries_.end(), files.begin(), files.end());
    at_ = top_ = 0;
}

void Questions::open(size_t entry) {
    if (entry >= entries_.size())
        return;
    const Entry &e = entries_[entry];
    if (e.name == u"..") {
        size_t slash = folder_.find_last_of(u'\\');
        list(slash == 0 || slash == std::u16string::npos ? u"\\" : folder_.substr(0, slash));
        return;
    }
    std::u16string path = (folder_ == u"\\" ? u"" : folder_) + u"\\" + e.name;
    if (e.folder)
        list(path);
    else
        answerFile(path);
}

std::string Questions::help() const {
    if (kind_ == Box)
        return "MESSAGE BOX: Left/Right/Tab choose, Enter presses; y yes, n no, o OK, c Cancel";
    return "OPEN: Up/Down choose, Enter opens or picks, Backspace up a folder, a letter jumps, "
           "Escape cancels";
}

std::vector<std::string> Questions::lines() const {
    std::vector<std::string> out;
    if (kind_ == Box) {
        out.push_back(emul::utf8(caption_));
        for (const std::u16string &l : wrap(text_, 40))
            out.push_back(emul::utf8(l));
        std::string row;
        for (size_t i = 0; i < buttons_.size(); ++i)
            row += std::string(i ? "  " : "") + (i == focus_ ? "[ " : "  ") +
                   buttonName(buttons_[i]) + (i == focus_ ? " ]" : "  ");
        out.push_back(row);
    } else if (kind_ == File) {
        out.push_back("Open: " + emul::utf8(folder_));
        size_t from = at_ > 3 ? at_ - 3 : 0;
        for (size_t n = from; n < entries_.size() && n < from + 8; ++n)
            out.push_back((n == at_ ? "> " : "  ") + emul::utf8(entries_[n].name) +
                          (entries_[n].folder && entries_[n].name != u".." ? "\\" : ""));
    }
    return out;
}

void Questions::draw(Picture &p, int top) const {
    int cols = p.cols(), rows = p.rows() - top;
    int w = std::min(kBoxWidth, cols), x = (cols - w) / 2;
    buttonCells_.clear();
    entryCells_ = CellRect{};
    if (kind_ == Box) {
        std::vector<std::u16string> lines = wrap(text_, size_t(w - 2));
        int h = std::min(rows, int(lines.size()) + 4), y = top + (rows - h) / 2;
        // A blank margin around the box.
        p.fill(CellRect{std::max(0, x - 1), std::max(top, y - 1), std::min(cols, w + 2), h + 2});
        put(p, x, y, u" " + caption_, w, kReverse);
        for (int i = 0; i < h - 2; ++i)
            put(p, x, y + 1 + i, i < int(lines.size()) ? u" " + lines[size_t(i)] : u"", w);
        // The buttons side by side, the focused one highlighted.
        put(p, x, y + h - 1, u"", w);
        int bx = x + 1;
        for (size_t i = 0; i < buttons_.size(); ++i) {
            std::u16string label = emul::utf16(std::string("[ ") + buttonName(buttons_[i]) + " ]");
            p.put(bx, y + h - 1, label, int(label.size()), i == focus_ ? kReverse : 0);
            buttonCells_.push_back(CellRect{bx, y + h - 1, int(label.size()), 1});
            bx += int(label.size()) + 1;
        }
        return;
    }
    if (kind_ != File)
        return;
    // The dialog covers the screen: title, folder, the entries, and Cancel at the bottom.
    put(p, 0, top, u" Open", cols, kReverse);
    put(p, 0, top + 1, folder_, cols);
    int shown = std::max(1, rows - 3);
    if (at_ < top_)
        top_ = at_;
    if (at_ >= top_ + size_t(shown))
        top_ = at_ + 1 - size_t(shown);
    for (int i = 0; i < shown; ++i) {
        size_t n = top_ + size_t(i);
        std::u16string line;
        if (n < entries_.size())
            line = u" " + entries_[n].name +
                   (entries_[n].folder && entries_[n].name != u".." ? u"\\" : u"");
        put(p, 0, top + 2 + i, line, cols, n == at_ ? kReverse : 0);
    }
    entryCells_ = CellRect{0, top + 2, cols, int(std::min(entries_.size() - top_, size_t(shown)))};
    put(p, 0, top + rows - 1, u" [ Cancel ]", cols);
    buttonCells_.assign(1, CellRect{1, top + rows - 1, 10, 1});
}

std::vector<CellRect> Questions::clickable() const {
    std::vector<CellRect> out = buttonCells_;
    for (int i = 0; i < entryCells_.rows; ++i)
        out.push_back(CellRect{entryCells_.col, entryCells_.row + i, entryCells_.cols, 1});
    return out;
}

void Questions::key(const HostKey &k) {
    // Keys that follow the answer before the program has taken it belong to nothing.
    if (answered_)
        return;
    if (kind_ == Box)
        boxKey(k);
    else if (kind_ == File && !entries_.empty())
        fileKey(k);
}

void Questions::boxKey(const HostKey &k) {
    size_t n = buttons_.size();
    auto press = [&](int id) {
        if (std::find(buttons_.begin(), buttons_.end(), id) != buttons_.end())
            answerBox(id);
    };
    switch (k.type) {
    case HostKey::Left:
    case HostKey::Up:
        focus_ = (focus_ + n - 1) % n;
        return;
    case HostKey::Right:
    case HostKey::Down:
        focus_ = (focus_ + 1) % n;
        return;
    case HostKey::Escape:
        // Escape is Cancel where there is one, else No, else the only button.
        if (std::find(buttons_.begin(), buttons_.end(), IDCANCEL) != buttons_.end())
            press(IDCANCEL);
        else if (std::find(buttons_.begin(), buttons_.end(), IDNO) != buttons_.end())
            press(IDNO);
        else if (n == 1)
            press(buttons_[0]);
        return;
    case HostKey::Char:
        break;
    default:
        return;
    }
    switch (k.ch) {
    case 9:
        focus_ = (focus_ + (k.shift ? n - 1 : 1)) % n;
        break;
    case 13:
    case u' ':
        answerBox(buttons_[focus_]);
        break;
    case u'y':
    case u'Y':
        press(IDYES);
        break;
    case u'n':
    case u'N':
        press(IDNO);
        break;
    case u'o':
    case u'O':
        press(IDOK);
        break;
    case u'c':
    case u'C':
        press(IDCANCEL);
        break;
    }
}

void Questions::fileKey(const HostKey &k) {
    size_t n = entries_.size();
    switch (k.type) {
    case HostKey::Up:
        at_ = at_ ? at_ - 1 : 0;
        return;
    case HostKey::Down:
        at_ = std::min(n - 1, at_ + 1);
        return;
    case HostKey::PageUp:
        at_ = at_ > 10 ? at_ - 10 : 0;
        return;
    case HostKey::PageDown:
        at_ = std::min(n - 1, at_ + 10);
        return;
    case HostKey::Home:
        at_ = 0;
        return;
    case HostKey::End:
        at_ = n - 1;
        return;
    case HostKey::Escape:
        answerFile(std::nullopt);
        return;
    case HostKey::Char:
        break;
    default:
        return;
    }
    if (k.ch == 13) {
        open(at_);
    } else if (k.ch == 8) {
        if (folder_ != u"\\")
            open(0); // ".."
    } else if (k.ch > u' ') {
        // A letter goes to the next entry that starts with it.
        char16_t c = emul::foldCase(std::u16string(1, k.ch))[0];
        for (size_t i = 1; i <= n; ++i) {
            size_t j = (at_ + i) % n;
            if (!entries_[j].name.empty() &&
                emul::foldCase(entries_[j].name.substr(0, 1))[0] == c) {
                at_ = j;
                break;
            }
        }
    }
}

void Questions::click(int col, int row) {
    if (answered_)
        return;
    for (size_t i = 0; i < buttonCells_.size(); ++i) {
        if (buttonCells_[i].contains(col, row)) {
            if (kind_ == Box)
                answerBox(buttons_[i]);
            else
                answerFile(std::nullopt);
            return;
        }
    }
    if (kind_ == File && entryCells_.contains(col, row)) {
        at_ = top_ + size_t(row - entryCells_.row);
        open(at_);
    }
}

} // namespace handheld
