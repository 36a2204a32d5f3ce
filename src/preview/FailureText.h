#pragma once
// The sentences a user reads when a preview could not be made, in the user's language (the
// catalogue the preview service installs, context "vorrel::PreviewViewController"); the
// English texts of the errors themselves stay in the log.
//
// Thread-safety: any thread, once the catalogue is installed.

#include <QString>

#include <exception>

#include "preview/contract/PreviewingController.h"

namespace vorrel {

class ConversionError;

// What went wrong in a conversion; a converter's exit status is explained.
QString failureText(const ConversionError& error);

// The request's error for any exception a conversion, an export or a decompression throws.
quicklook::PreviewError previewError(const std::exception_ptr& error);

}  // namespace vorrel
