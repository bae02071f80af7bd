// Small PDFs that ask for far more than they hold: fan-out through nested
// forms, image data padded to declared sizes, rows too wide to hold,
// graphics states nested past the interpreter's patience, and dictionaries
// the core refuses. Each is a few kilobytes; what it may cost to extract is
// bounded by the run's limits, which the hostile-input tests check.
#pragma once

#include <string>

namespace talvore::testing {

// One image at the bottom of `levels` nested forms, each drawing the next
// `fan` times: fan^levels draws of the same image.
std::string FanOutPdf(int levels, int fan);

// An RGB image declared width x height whose Flate data holds only
// `realRows` rows.
std::string PaddedImagePdf(int width, int height, int realRows);

// An image one row high and `width` pixels wide: RGB with a few bytes of
// data, or a stencil mask with all of its data.
std::string WideRowPdf(int width, bool stencil);

// A page whose content opens `depth` graphics states before drawing an image.
std::string DeepSavePdf(int depth);

// An image dictionary the core refuses (width 0) next to a good one.
std::string RefusedImagePdf();

// An /Encrypt dictionary that no security handler takes.
std::string CorruptEncryptPdf();

} // namespace talvore::testing
