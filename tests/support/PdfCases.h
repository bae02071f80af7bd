// Generated families of small PDFs for differential tests and fuzz seeds.
#pragma once

#include <string>
#include <vector>

namespace talvore::testing {

struct GeneratedPdf {
    std::string Name; // says what the case is, for test traces and file names
    std::string Bytes;
};

// One page each, drawing (or naming without drawing) one image through
// every way the interpreter finds a resource: the page's own and inherited
// resources, forms with and without resources of their own, nested forms,
// annotation appearances and soft-mask groups, with the image's name in
// each place it can be found, and in none; and a page whose image appears
// only once the core has repaired a damaged cross-reference table.
std::vector<GeneratedPdf> ResourceLookupCases();

} // namespace talvore::testing
