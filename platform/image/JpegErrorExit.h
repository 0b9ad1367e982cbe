#pragma once
// libjpeg reports a broken stream by calling its error exit, which would
// end the process; ours jumps back to the caller's jump point with the
// library's text. Warnings are dropped, except the one for data that ends
// early, which the library would otherwise fill in with grey.

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

struct JpegErrorExit {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
};

// Installs the exit on a compress or decompress object's error field.
inline jpeg_error_mgr* JpegErrorExit_Install(JpegErrorExit* exit) {
    jpeg_error_mgr* manager = jpeg_std_error(&exit->manager);
    manager->error_exit = [](j_common_ptr info) {
        auto* self = reinterpret_cast<JpegErrorExit*>(info->err);
        info->err->format_message(info, self->text);
        std::longjmp(self->jump, 1);
    };
    manager->emit_message = [](j_common_ptr info, int level) {
        if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) info->err->error_exit(info);
    };
    return manager;
}
