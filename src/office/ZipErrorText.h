#pragma once

// For the engines that read zip packages with libzip; include it only where libzip is linked.

#include <QString>

#include <zip.h>

namespace quorvane::office {

// libzip's text for one of its error codes (as zip_open reports them), for messages.
inline QString libzipReason(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    QString reason = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return reason;
}

} // namespace quorvane::office
