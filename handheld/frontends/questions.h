// Message boxes and file-open dialogs that a program waits on, put to the person at the screen.
// The program's thread waits (as for input) until the person answers; the rest of the device
// runs on meanwhile. Each answer goes into the recording ahead of what brought the question up,
// so a replay gives the program the same answer.
#pragma once

#include "frontends/screen_picture.h"
#include "keyboard/host_keys.h"

#include "emul/answers.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace emul {
class Device;
struct Thread;
} // namespace emul

namespace handheld {

class SessionRecorder;

class Questions : public emul::Answers {
  public:
    // Answers what the device's scenario script leaves open, for the life of this object.
    Questions(emul::Device &device, SessionRecorder &recorder);
    ~Questions() override;
    Questions(const Questions &) = delete;
    Questions &operator=(const Questions &) = delete;

    bool pending() const { return kind_ != None; }
    // Draws the question over the rows of the device's screen it may cover, from `top` on.
    void draw(Picture &picture, int top) const;
    // A host key, or a click on a cell of the device's screen, while a question is pending.
    void key(const HostKey &k);
    void click(int col, int row);
    // Where the last drawing put the buttons and entries a click acts on (cells of the screen).
    std::vector<CellRect> clickable() const;
    // What the screen's help line says while a question is up.
    std::string help() const;
    // The question as lines of text, for a front end that shows it beside the screen: the
    // caption, the text and the buttons (the focused one in brackets), or the folder and the
    // entries around the one the person is at (marked with ">").
    std::vector<std::string> lines() const;
    // The session ends: the waiting program gets the default answer (not recorded).
    void dismiss();

    // Asked on the waiting program's thread; 0 or nullopt at once when it cannot wait (the
    // screen's own thread, or another question is up).
    int messageBox(const std::u16string &text, const std::u16string &caption,
                   uint32_t type) override;
    std::optional<std::u16string> openFile(const std::u16string &initialDir) override;

    // Run by the waiting program's thread while it waits: the screen's own step (keys, redraw),
    // since the screen's thread may be waiting on that program (a message it sent).
    std::function<void()> whileWaiting;
    // True when the screen has something to do (a key, a journal line); the waiting program
    // wakes for it or for the answer, and for nothing else.
    std::function<bool()> workWaiting;

  private:
    enum Kind { None, Box, File };
    struct Entry {
        std::u16string name;
        bool folder;
    };
    void waitForAnswer();
    void boxKey(const HostKey &k);
    void fileKey(const HostKey &k);
    void answerBox(int button);
    void answerFile(std::optional<std::u16string> path);
    void list(const std::u16string &folder);
    void open(size_t entry);

    emul::Device &device_;
    SessionRecorder &recorder_;
    emul::Thread *frontEnd_; // the screen's own thread, which never waits on a question
    Kind kind_ = None;
    bool answered_ = false;
    // The message box.
    std::u16string text_, caption_;
    uint32_t type_ = 0;
    std::vector<int> buttons_;
    size_t focus_ = 0;
    int result_ = 0;
    // The file dialog: a folder's entries, the one the person is at, the first one shown.
    std::u16string folder_;
    std::vector<Entry> entries_;
    size_t at_ = 0;
    mutable size_t top_ = 0;
    std::optional<std::u16string> path_;
    // Where the last drawing put the buttons and the first entry shown (cells of the screen).
    mutable std::vector<CellRect> buttonCells_;
    mutable CellRect entryCells_;
};

} // namespace handheld
