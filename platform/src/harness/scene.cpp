// Scene windows: stand-ins for windows of other programs that tests and scenarios place on the
// screen, their names and what they were sent or posted. The table is the device's listener for
// windows of no program, made with the first scene window.
#include "emul/device.h"
#include "emul/harness.h"
#include "emul/windows_sys.h"

#include <map>

namespace emul::harness {

namespace {

class SceneTable : public UnownedWindows {
  public:
    void received(uintptr_t hwnd, uint32_t msg, uintptr_t wparam, intptr_t lparam) override {
        got_[hwnd].push_back(Received{msg, wparam, lparam});
    }
    std::string name(uintptr_t hwnd) const override {
        auto it = names_.find(hwnd);
        return it == names_.end() ? "" : it->second;
    }
    void add(uintptr_t hwnd, const std::string &name) { names_[hwnd] = name; }
    // The first live window of that name, in the order they were made.
    uintptr_t find(const std::string &name, const WindowSystem &ws) const {
        for (auto &e : names_)
            if (e.second == name && ws.isWindow(e.first))
                return e.first;
        return 0;
    }
    std::vector<Received> of(uintptr_t hwnd) const {
        auto it = got_.find(hwnd);
        return it == got_.end() ? std::vector<Received>() : it->second;
    }

  private:
    std::map<uintptr_t, std::string> names_; // handles grow, so this is their order of making
    std::map<uintptr_t, std::vector<Received>> got_;
};

// The device's table; null before its first scene window unless `make`.
SceneTable *table(bool make) {
    WindowSystem &ws = dev().windows();
    auto *t = dynamic_cast<SceneTable *>(ws.unownedWindows());
    if (!t && make) {
        auto made = std::make_shared<SceneTable>();
        t = made.get();
        ws.setUnownedWindows(std::move(made));
    }
    return t;
}

} // namespace

uintptr_t createSceneWindow(const std::string &name, const std::u16string &className,
                            uintptr_t parent, int left, int top, int right, int bottom) {
    SceneTable *t = table(true);
    uintptr_t h = dev().windows().createUnowned(className, parent, left, top, right, bottom);
    t->add(h, name);
    return h;
}

uintptr_t findSceneWindow(const std::string &name) {
    const SceneTable *t = table(false);
    return t ? t->find(name, dev().windows()) : 0;
}

std::vector<Received> received(uintptr_t hwnd) {
    const SceneTable *t = table(false);
    return t && dev().windows().isWindow(hwnd) ? t->of(hwnd) : std::vector<Received>();
}

} // namespace emul::harness
