#pragma once

#include <string>

namespace vel::platform {

// The file name the built-in PDF printer gives a document title: characters
// a file system refuses become '_', with ".pdf" appended. `title` is code
// page 1250, and so is the name.
std::string PdfFileNameOf(const std::string& title);

// The folder the built-in PDF printer writes into: %VEL_PDF_DIR%, or "pdf"
// in the current directory when that is unset or empty.
std::string PdfFolder();

}  // namespace vel::platform
