#pragma once

#include <csetjmp>
#include <cstdio>
// jerror.h after jpeglib.h, whose settings decide which codes it declares.
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

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

    // Whether the warning just raised says that pixels could not be decoded from the file's data.
    // A file that ends early is such a sign, except in a sequential Huffman-coded file whose one
    // scan holds every component: when the end of the file meets the decoder's look-ahead after
    // its last row (a file lacking only its end marker), nothing is lost, and a row that did lack
    // data raises a warning of its own, a marker where the data belong.
    static bool isDamage(j_common_ptr common) {
        const jpeg_error_mgr& err = *common->err;
        switch (err.msg_code) {
        case JWRN_JPEG_EOF: { // the file ends before its end marker
            if (!common->is_decompressor) return true;
            const auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
            return cinfo->progressive_mode || cinfo->arith_code ||
                   cinfo->comps_in_scan != cinfo->num_components;
        }
        case JWRN_HIT_MARKER:    // a marker in the middle of the picture data
        case JWRN_HUFF_BAD_CODE: // a code no table holds
        case JWRN_ARITH_BAD_CODE:
        case JWRN_MUST_RESYNC: // another marker where a restart marker belongs
            return true;
        case JWRN_EXTRANEOUS_DATA: // bytes skipped before a restart marker: the decoder lost its place
            return err.msg_parm.i[1] >= JPEG_RST0 && err.msg_parm.i[1] <= JPEG_RST0 + 7;
        default:
            return false;
        }
    }

    [[noreturn]] static void jumpBack(j_common_ptr info) {
        std::longjmp(reinterpret_cast<JpegErrorJump*>(info->err)->jump, 1);
    }
};

} // namespace sorvin
