// The window system as the device program and the harness reach it from the host side: none of
// this is journaled.
#include "gwes/controls/controls.h"
#include "gwes/paint/paint.h"
#include "gwes/win_internal.h"

#include "emul/text.h"

namespace emul {

void WindowSystem::setForeground(uintptr_t hwnd) {
    if (Window *w = impl_->get(hwnd))
        impl_->activate(w);
}

uintptr_t WindowSystem::foreground() const {
    return view_.foreground();
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
    return w ? impl_->send(w, msg, wp, lp, true) : 0;
}

bool WindowSystem::post(uintptr_t hwnd, uint32_t msg, uintptr_t wp, intptr_t lp) {
    Window *w = impl_->get(hwnd);
    return w && impl_->post(w, msg, wp, lp);
}

void WindowSystem::broadcast(uint32_t msg, uintptr_t wp, intptr_t lp) {
    std::vector<Window *> tops = impl_->topLevel;
    for (Window *w : tops)
        if (w->thread)
            impl_->post(w, msg, wp, lp);
}

void WindowSystem::pickEntry(uintptr_t combo, int index) {
    if (Window *w = impl_->get(combo))
        comboUserSelect(w, index);
}

uintptr_t WindowSystem::desktop() const {
    return impl_->desktop->h;
}

uintptr_t WindowSystem::createUnowned(const std::u16string &className, uintptr_t parent, int left,
                                      int top, int right, int bottom) {
    Impl &ws = *impl_;
    Window *p = parent ? ws.get(parent) : nullptr;
    if (p) {
        left += p->left;
        right += p->left;
        top += p->top;
        bottom += p->top;
    }
    Window *w = ws.make(className, p, left, top, right, bottom);
    w->className = className; // it keeps the spelling it was given
    w->proc = nullptr;
    w->style = WS_VISIBLE | (p ? WS_CHILD : 0);
    invalidate(w, nullptr, true);
    return w->h;
}

WindowDcSource *WindowSystem::dcSource() {
    return &dcSourceOf(*impl_);
}

void WindowSystem::paintScreen() {
    emul::paintScreen();
}

void WindowSystem::setUnownedWindows(std::shared_ptr<UnownedWindows> listener) {
    impl_->unowned = std::move(listener);
}

UnownedWindows *WindowSystem::unownedWindows() const {
    return impl_->unowned.get();
}

void WindowSystem::threadEnded(Thread *t) {
    impl_->threadEnded(t);
}

void WindowSystem::Impl::received(Window *w, const MSG &m) {
    if (unowned)
        unowned->received(w->h, m.message, uintptr_t(m.wParam), intptr_t(m.lParam));
}

} // namespace emul
