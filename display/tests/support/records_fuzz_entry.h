// One fuzzing step over the display's receipt of messages, shared by the
// libFuzzer harness and the mutation test: a fresh frame (offscreen, with its
// settings in a private folder) takes a sequence of WM_COPYDATA records,
// WM_USER codes and frame messages read from the bytes, through the frame's
// window procedure as a peer's messages arrive. Each record starts with an
// operation byte (taken modulo 6):
//   0 copy    u8 kind (an index into the kinds the receiver knows; past them
//             a raw u32 kind follows), u16 size, the bytes (the coordinates
//             of placement and display mode records taken modulo 1024)
//   1 code    u8 code (an index into the codes the receiver and frame know;
//             past them a raw u32 code follows), i32 argument
//   2 frame   u8 message (re-layout, next image, next image loaded), u32
//             wParam, i32 lParam
//   3 score   u16 size, the score page's bytes; then SingScore with an i32
//   4 size    u16 width, u16 height (each at most 1280): the frame resized
//   5 pump    the messages posted meanwhile are handled
// A cut record ends the sequence. Returns an empty string, or what went
// wrong: the frame gone though no record closed it, or the receiver's state
// out of its range. Memory faults are the sanitizers' to report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace displaytest {

std::string CheckDisplayRecordsInput(const uint8_t* data, size_t size);

} // namespace displaytest
