// Physical keys to virtual-key codes.
//
// Keys are named by their Linux input code (the numbering of
// linux/input-event-codes.h); an X server with the evdev key codes numbers the
// same keys 8 higher. Each key is given the virtual-key code a Japanese Windows
// system reports for it, so that counts do not depend on the keyboard layout
// the window system has loaded: under a Japanese X layout the yen key and the
// ro key both produce the keysym "backslash", under a US layout the yen key
// produces none, yet they are two keys with two codes here.
#pragma once

namespace pressory::platform::keymap {

// Input codes run from 0 to 0x2FF (the kernel's KEY_MAX); anything else is no key.
inline constexpr int kCodeCount = 0x300;

// A few input codes the sources need by name.
inline constexpr int kKeyA = 30;
inline constexpr int kKeyZ = 44;
inline constexpr int kBtnLeft = 0x110;
inline constexpr int kBtnRight = 0x111;
inline constexpr int kBtnMiddle = 0x112;
inline constexpr int kBtnSide = 0x113;
inline constexpr int kBtnExtra = 0x114;

// The virtual-key code of a physical key or mouse button, or 0 when the
// code is not one the program knows (wheels, touch contacts, unknown keys).
// Gives the side-specific codes for Shift, Ctrl and Alt (160 to 165), never
// the generic ones.
int vkFromInputCode(int code) noexcept;

// The generic code (16 Shift, 17 Ctrl, 18 Alt) a side-specific code also
// stands for, or 0.
int genericVk(int vk) noexcept;

// X keycode to input code (keycode - 8), or -1 outside 8..255.
int inputCodeFromXKeycode(int keycode) noexcept;

// X pointer button to input code: 1 left, 2 middle, 3 right, 8 back (side),
// 9 forward (extra). The wheel (4 to 7) and anything else give -1: scrolling
// is not a press.
int inputCodeFromXButton(int button) noexcept;

}  // namespace pressory::platform::keymap
