// The window system as the device program sees it from the host: none of this is journaled.
#include "gwes/win_internal.h"

#include "emul/text.h"

namespace emul {

std::string WindowSystem::journalName(uintptr_t h) const {
    Window *w = impl_->get(h);
    if (!w)
        return "";
    return w->sceneName.empty() ? utf8(w->className) : w->sceneName;
}

void WindowSystem::setForeground(uintptr_t hwnd) {
    if (Window *w = impl_->get(hwnd))
        impl_->activate(w);
}

uintptr_t WindowSystem::foreground() const {
    return impl_->get(impl_->foreground) ? impl_->foreground : 0;
}

Program *WindowSystem::foregroundProgram() const {
    Window *w = impl_->get(impl_->foreground);
    return w ? w->program : nullptr;
}

std::u16string WindowSystem::text(uintptr_t hwnd) const {
    Window *w = impl_->get(hwnd);
    return w ? w->text : std::u16string();
}

bool WindowSystem::textIs(uintptr_t hwnd, std::u16string_view text) const {
    Window *w = impl_->get(hwnd);
    return w ? w->text == text : text.empty();
}

uintptr_t WindowSystem::focus() const {
    return impl_->focusOfForeground();
}

const ChangeCount &WindowSystem::changes() const {
    return impl_->changes;
}

bool WindowSystem::isWindow(uintptr_t hwnd) const {
    return impl_->get(hwnd) != nullptr;
}

void WindowSystem::setWaitingForInput(Thread *t, bool waiting) {
    impl_->queue(t).waitingForInput = waiting;
}

bool WindowSystem::waitingForInput(const Thread *t) const {
    auto q = impl_->queues.find(const_cast<Thread *>(t));
    return q != impl_->queues.end() && q->second.waitingForInput;
}

std::u16string WindowSystem::className(uintptr_t hwnd) const {
    Window *w = impl_->get(hwnd);
    return w ? w->className : std::u16string();
}

intptr_t WindowSystem::send(uintptr_t hwnd, uint32_t msg, uintptr_t wp, intptr_t lp) {
    Window *w = impl_->get(hwnd);
    return w ? impl_->send(w, msg, wp, lp) : 0;
}

bool WindowSystem::post(uintptr_t hwnd, uint32_t msg, uintptr_t wp, intptr_t lp) {
    Window *w = impl_->get(hwnd);
    return w && impl_->post(w, msg, wp, lp);
}

void WindowSystem::broadcast(uint32_t msg, uintptr_t wp, intptr_t lp) {
    impl_->reap();
    std::vector<Window *> tops = impl_->topLevel;
    for (Window *w : tops)
        if (w->thread)
            impl_->post(w, msg, wp, lp);
}

uintptr_t WindowSystem::desktop() const {
    return impl_->desktop->h;
}

std::vector<uintptr_t> WindowSystem::windowsOf(const Program *program) const {
    std::vector<uintptr_t> out;
    for (auto &e : impl_->windows)
        if (e.second->program == program && program)
            out.push_back(e.first);
    return out;
}

} // namespace emul
