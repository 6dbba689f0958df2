#pragma once

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace sorvin {

// libjpeg reports a fatal error by calling error_exit, which must not return: this one jumps back
// to the setjmp on `jump`. Warnings are not printed. The frame that calls setjmp must create no
// object with a destructor between its setjmp and its end, so the jump skips nothing.
struct JpegErrorJump {
    jpeg_error_mgr base;
    std::jmp_buf jump;

    // Fills `base` for the `err` field of a compress or decompress struct.
    jpeg_error_mgr* install() {
        jpeg_std_error(&base);
        base.error_exit = [](j_common_ptr info) { jumpBack(info); };
        base.emit_message = [](j_common_ptr, int) {};
        return &base;
    }

    [[noreturn]] static void jumpBack(j_common_ptr info) {
        std::longjmp(reinterpret_cast<JpegErrorJump*>(info->err)->jump, 1);
    }
};

} // namespace sorvin
