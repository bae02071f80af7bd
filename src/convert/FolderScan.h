// The folder scan of Import Directory and of `talvore-extract -r`: a depth
// first walk of a folder tree in the order the file system gives, hidden
// entries included. A sub-folder is walked where it is met, before the later
// entries of its folder; a folder reached twice (through a link back into
// the tree) is walked once. A file counts as a PDF when it is a regular file
// (or a link to one) and its name contains a '.' and the text from the last
// '.' is ".pdf" in any case.
#pragma once

#include <functional>
#include <string>

namespace talvore {

// Whether a file name (without folder) passes the scan's PDF rule.
bool IsPdfFileName(const std::string& name);

// Calls found(path) for every PDF of the tree, path being the folder text
// (with '/' appended when missing) followed by the entry names on the way.
void ScanFolderForPdfs(const std::string& folder,
                       const std::function<void(const std::string& path)>& found);

} // namespace talvore
