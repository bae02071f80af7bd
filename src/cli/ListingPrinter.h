// How a listing run is shown: one text row per image, or one JSON document
// for all of the run's PDFs.
#pragma once

#include "convert/RunObserver.h"

#include <cstdio>
#include <string>
#include <vector>

namespace talvore {

// The heading of the text rows.
void PrintListingHeading(std::FILE* out);
// One row per image of the document, in the run's order.
void PrintListingRows(std::FILE* out, const DocumentReport& report);

// Every document of the run with its images; the schema is in the README.
std::string ListingJson(const std::vector<DocumentReport>& reports);

} // namespace talvore
