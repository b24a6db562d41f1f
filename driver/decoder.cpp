// The scan-code decoder: one key code (make, or break = make + 128) in, the system's input out,
// chosen from a table indexed by make code and the held modifiers and layers.
#include "keys.h"
#include "keytable.h"

#include <sipapi.h>
#include <stddef.h>

const KeyEntry *KeyTableEntry(DWORD make) {
    return make < KEY_TABLE_SIZE ? &keyTable[make] : NULL;
}

// The virtual key a handler chose; sent at the end of the call.
typedef struct KeyChoice {
    DWORD vk;
    DWORD flags;
} KeyChoice;

static void Choose(KeyChoice *out, DWORD vk, DWORD flags) {
    out->vk = vk;
    out->flags = flags;
}

// Ctrl, Alt, Fn, Cmd and Symbol up; Shift does not matter.
static int PlainReady(const KeyboardDevice *dev) {
    return !dev->ctrlDown && !dev->altDown && !dev->fnDown && !dev->cmdDown && !dev->symbolDown;
}

// Plain-ready, or Ctrl-ready for the letters that Ctrl shortcuts need.
static int KeyReady(const KeyboardDevice *dev, const KeyEntry *e) {
    if (e->flags & KF_CTRL_READY)
        return !dev->altDown && !dev->fnDown && !dev->cmdDown && !dev->symbolDown;
    return PlainReady(dev);
}

// Fn held, Ctrl, Alt, Cmd and Symbol up.
static int FnReady(const KeyboardDevice *dev) {
    return dev->fnDown && !dev->ctrlDown && !dev->altDown && !dev->cmdDown && !dev->symbolDown;
}

// No layer held: the arrows take Ctrl, Alt and Shift along.
static int NoLayer(const KeyboardDevice *dev) {
    return !dev->fnDown && !dev->cmdDown && !dev->symbolDown;
}

// Mixed case of the Cmd and Symbol layers: Caps Lock inverts Shift.
static int UpperCase(const KeyboardDevice *dev) {
    return (dev->shiftDown != 0) != (dev->capsLock != 0);
}

static DWORD *BitSet(KeyboardDevice *dev, const KeyEntry *e) {
    return e->bitSet == BITS_LETTERS ? &dev->lettersDown : &dev->keysDown;
}

// The arrows press and release the key chosen by the state at that moment: Page Up, Page Down,
// Home and End with Fn, the arrows themselves with no layer held, nothing with Cmd or Symbol.
static DWORD ArrowVk(const KeyboardDevice *dev, const KeyEntry *e) {
    // In the order of KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT.
    static const BYTE fnVk[] = {VK_PRIOR, VK_NEXT, VK_HOME, VK_END};
    static const BYTE plainVk[] = {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT};
    DWORD i = (DWORD)(e->kind - KEY_UP);
    if (dev->cmdDown)
        return 0;
    if (FnReady(dev))
        return fnVk[i];
    if (NoLayer(dev))
        return plainVk[i];
    return 0;
}

// Up and Down, unlike Left and Right, go to a rich-ink control.
static int VerticalArrow(DWORD vk) {
    return vk == VK_UP || vk == VK_DOWN;
}

static void PostToRichInk(KeyboardDevice *dev, DWORD vk, DWORD flags, UINT ch) {
    UINT shiftState[1] = {0};
    UINT chars[1] = {ch};
    PostKeybdMessage(dev->richInkWindow, vk, flags, ch ? 1 : 0, shiftState, chars);
}

// Tab and Enter go to the foreground program's rich-ink control as messages when it has one.
static void TypeIntoRichInk(KeyboardDevice *dev, DWORD vk, KeyChoice *out) {
    if (ForegroundHasRichInk(dev))
        PostToRichInk(dev, vk, KeyStateDownFlag, vk);
    else
        Choose(out, vk, 0);
}

// Before a release of a key whose press went to the ink control, give that control the focus so
// the release reaches it too.
static void FocusRichInk(KeyboardDevice *dev) {
    if (dev->richInkFound == 1)
        SetFocus(dev->richInkWindow);
}

static void ToggleInputPanel(void) {
    SIPINFO si;
    memset(&si, 0, sizeof(si));
    si.cbSize = sizeof(SIPINFO);
    if (SipGetInfo(&si))
        SipShowIM((si.fdwFlags & SIPF_ON) ? SIPF_OFF : SIPF_ON);
}

// Make of a character key. Returns 0 when the key's bit must stay clear.
static int CharMake(KeyboardDevice *dev, const KeyEntry *e, DWORD fresh, KeyChoice *out) {
    if (e->numLockChar && dev->numLock) {
        PostCharacter(dev, e->numLockChar, 1);
        return (e->flags & KF_NUMLOCK_NO_BIT) ? 0 : 1;
    }
    if (dev->cmdDown) {
        if (dev->ctrlDown || dev->altDown || dev->fnDown || dev->symbolDown)
            return 1;
        if (e->cmdDigit != NO_DIGIT) {
            if (fresh && !dev->shiftDown)
                LaunchUserProgram(dev, e->cmdDigit);
        } else if (e->cmdLower) {
            PostCharacter(dev, UpperCase(dev) ? e->cmdUpper : e->cmdLower, 1);
        }
        return 1;
    }
    if (dev->symbolDown) {
        WCHAR ch = 0;
        if (dev->ctrlDown || dev->altDown || dev->fnDown)
            return 1;
        if (e->symChoice == SYM_MIXED)
            ch = UpperCase(dev) ? e->symSecond : e->symFirst;
        else if (e->symChoice == SYM_BY_SHIFT)
            ch = dev->shiftDown ? e->symSecond : e->symFirst;
        if (ch)
            PostCharacter(dev, ch, 1);
        return 1;
    }
    if (KeyReady(dev, e))
        Choose(out, e->vk, 0);
    else if (e->fnVk && FnReady(dev))
        Choose(out, e->fnVk, 0);
    return 1;
}

static void CharBreak(KeyboardDevice *dev, const KeyEntry *e, KeyChoice *out) {
    if (!KeyReady(dev, e))
        return;
    if ((e->flags & KF_NUMLOCK_HOLDS) && dev->numLock)
        return;
    Choose(out, e->vk, KEYEVENTF_KEYUP);
}

// The modifier and layer keys: the state each holds while it is down, and the virtual key it
// sends (0 for the layers, which send none).
static const struct {
    BYTE kind;
    BYTE vk;
    WORD field; // offset of the state in KeyboardDevice
} heldKeys[] = {
    {KEY_SHIFT, VK_SHIFT, offsetof(KeyboardDevice, shiftDown)},
    {KEY_CTRL, VK_CONTROL, offsetof(KeyboardDevice, ctrlDown)},
    {KEY_ALT, VK_MENU, offsetof(KeyboardDevice, altDown)},
    {KEY_FN, 0, offsetof(KeyboardDevice, fnDown)},
    {KEY_CMD, 0, offsetof(KeyboardDevice, cmdDown)},
    {KEY_SYMBOL, 0, offsetof(KeyboardDevice, symbolDown)},
};

// The state of a modifier or layer key, with its virtual key in *vk; null for any other key.
static DWORD *HeldModifier(KeyboardDevice *dev, BYTE kind, DWORD *vk) {
    DWORD i;
    for (i = 0; i < sizeof(heldKeys) / sizeof(heldKeys[0]); ++i)
        if (heldKeys[i].kind == kind) {
            *vk = heldKeys[i].vk;
            return (DWORD *)((BYTE *)dev + heldKeys[i].field);
        }
    *vk = 0;
    return NULL;
}

// Make of every key but the character keys. Returns 0 when the key's bit must stay clear.
static int SpecialMake(KeyboardDevice *dev, const KeyEntry *e, DWORD fresh, KeyChoice *out) {
    DWORD vk;
    DWORD *held = HeldModifier(dev, e->kind, &vk);
    if (held) {
        *held = 1;
        if (vk && fresh)
            Choose(out, vk, 0);
        return 1;
    }
    switch (e->kind) {
    case KEY_GRAVE:
        Choose(out, e->vk, 0);
        break;
    case KEY_CAPS:
        if (FnReady(dev)) {
            dev->numLock = !dev->numLock;
        } else {
            dev->capsLock = !dev->capsLock;
            Choose(out, VK_CAPITAL, 0);
        }
        break;
    case KEY_TAB:
        if (dev->cmdDown)
            break;
        if (FnReady(dev))
            Choose(out, VK_ESCAPE, 0);
        else if (PlainReady(dev))
            TypeIntoRichInk(dev, VK_TAB, out);
        break;
    case KEY_ENTER:
        if (FnReady(dev))
            SendMessageW(GetForegroundWindow(), WM_COMMAND, IDOK, 0);
        else if (PlainReady(dev))
            TypeIntoRichInk(dev, VK_RETURN, out);
        break;
    case KEY_UP:
    case KEY_DOWN:
    case KEY_LEFT:
    case KEY_RIGHT:
        vk = ArrowVk(dev, e);
        if (VerticalArrow(vk) && ForegroundHasRichInk(dev)) {
            DWORD flags = KeyStateDownFlag;
            if (dev->shiftDown)
                flags |= KeyShiftAnyShiftFlag;
            if (dev->ctrlDown)
                flags |= KeyShiftAnyCtrlFlag;
            if (dev->altDown)
                flags |= KeyShiftAnyAltFlag;
            PostToRichInk(dev, vk, flags, 0);
        } else {
            Choose(out, vk, 0);
        }
        break;
    case KEY_SPACE:
        if (FnReady(dev)) {
            if (fresh)
                ToggleInputPanel();
        } else if (PlainReady(dev)) {
            Choose(out, VK_SPACE, 0);
        }
        break;
    case KEY_BACKSPACE:
        // The power key clears Fn, but the Backspace that pressed it stays in the Fn layer until
        // its break: its repeats press the power key again and it never types a Backspace.
        if (FnReady(dev) || (!fresh && dev->powerKeyHeld)) {
            dev->powerKeyHeld = 1;
            LaunchHotKey(dev, LAUNCH_POWER_DOWN);
        } else {
            dev->powerKeyHeld = 0;
            if (PlainReady(dev))
                Choose(out, VK_BACK, 0);
        }
        break;
    case KEY_DELETE:
        if (PlainReady(dev))
            Choose(out, VK_DELETE, 0);
        break;
    case KEY_PEN:
        // One pen-down at a time: a second one would leave the first without its pen-up.
        if (fresh && PlainReady(dev) && !dev->penDown) {
            mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN, 5, 5, 0, 0);
            dev->penDown = 1;
        }
        break;
    case KEY_APP:
        if (!fresh)
            break;
        if (PlainReady(dev))
            LaunchHotKey(dev, e->launchPlain);
        else if (FnReady(dev))
            LaunchHotKey(dev, e->launchFn);
        break;
    default:
        break;
    }
    return 1;
}

// Break of every key but the character keys; a key with a bit has found it set and cleared it.
static void SpecialBreak(KeyboardDevice *dev, const KeyEntry *e, KeyChoice *out) {
    DWORD vk;
    DWORD *held = HeldModifier(dev, e->kind, &vk);
    if (held) {
        // Shift, Ctrl and Alt send a release only for a press they sent.
        if (vk && *held)
            Choose(out, vk, KEYEVENTF_KEYUP);
        *held = 0;
        return;
    }
    switch (e->kind) {
    case KEY_GRAVE:
        Choose(out, e->vk, KEYEVENTF_KEYUP);
        break;
    case KEY_CAPS:
        // Sent on every break, auto-repeated ones included: Caps Lock has no bit.
        if (!dev->fnDown)
            Choose(out, VK_CAPITAL, KEYEVENTF_KEYUP);
        break;
    case KEY_TAB:
        if (dev->cmdDown)
            break;
        if (FnReady(dev))
            Choose(out, VK_ESCAPE, KEYEVENTF_KEYUP);
        else if (PlainReady(dev)) {
            FocusRichInk(dev);
            Choose(out, VK_TAB, KEYEVENTF_KEYUP);
        }
        break;
    case KEY_ENTER:
        if (PlainReady(dev)) {
            FocusRichInk(dev);
            Choose(out, VK_RETURN, KEYEVENTF_KEYUP);
        }
        break;
    case KEY_UP:
    case KEY_DOWN:
    case KEY_LEFT:
    case KEY_RIGHT:
        vk = ArrowVk(dev, e);
        if (VerticalArrow(vk))
            FocusRichInk(dev);
        Choose(out, vk, KEYEVENTF_KEYUP);
        break;
    case KEY_SPACE:
        if (PlainReady(dev))
            Choose(out, VK_SPACE, KEYEVENTF_KEYUP);
        break;
    case KEY_BACKSPACE:
        if (dev->powerKeyHeld) {
            dev->powerKeyHeld = 0;
#if IRK_BUILD != 420
            LaunchHotKey(dev, LAUNCH_POWER_UP);
#endif
        } else if (PlainReady(dev)) {
            Choose(out, VK_BACK, KEYEVENTF_KEYUP);
        }
#if IRK_BUILD != 420
        else if (FnReady(dev))
            LaunchHotKey(dev, LAUNCH_POWER_UP);
#endif
        break;
    case KEY_DELETE:
        if (PlainReady(dev))
            Choose(out, VK_DELETE, KEYEVENTF_KEYUP);
        break;
    case KEY_PEN:
        // An outstanding pen-down always gets its pen-up, whatever is held now.
        if (dev->penDown || PlainReady(dev)) {
            mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, 5, 5, 0, 0);
            dev->penDown = 0;
        }
        break;
    default:
        break;
    }
}

void DecodeKey(KeyboardDevice *dev, DWORD code, DWORD fresh) {
    BYTE keyCode = (BYTE)(code & 0xFF);
    const KeyEntry *e = KeyTableEntry(keyCode & 0x7F);
    KeyChoice out = {0, 0};

    if (!e || e->kind == KEY_NONE)
        return;
    if (keyCode & 0x80) {
        if (e->kind == KEY_APP)
            return;
        if (e->bitSet != BITS_NONE) {
            DWORD *bits = BitSet(dev, e);
            DWORD mask = (DWORD)1 << e->bit;
            // A break whose make was not seen does nothing at all.
            if (!(*bits & mask))
                return;
            *bits &= ~mask;
        }
        if (e->kind == KEY_CHAR)
            CharBreak(dev, e, &out);
        else
            SpecialBreak(dev, e, &out);
    } else {
        int setBit =
            e->kind == KEY_CHAR ? CharMake(dev, e, fresh, &out) : SpecialMake(dev, e, fresh, &out);
        if (setBit && e->bitSet != BITS_NONE)
            *BitSet(dev, e) |= (DWORD)1 << e->bit;
    }
    if (out.vk)
        SendVirtualKey(dev, out.vk, out.flags);
}
