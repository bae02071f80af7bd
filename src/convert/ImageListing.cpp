#include "convert/ImageListing.h"

namespace talvore {

const char* ListedKindName(ListedKind kind) {
    switch (kind) {
    case ListedKind::Image:
        return "image";
    case ListedKind::StencilMask:
        return "stencil mask";
    case ListedKind::SoftMask:
        return "soft mask";
    case ListedKind::ExplicitMask:
        return "mask";
    case ListedKind::ColourKey:
        return "colour key";
    }
    return "";
}

const char* ListedOutcomeName(ListedOutcome outcome) {
    switch (outcome) {
    case ListedOutcome::Jpeg:
        return "jpeg copy";
    case ListedOutcome::Stored:
        return "stored copy";
    case ListedOutcome::Pbm:
        return "pbm";
    case ListedOutcome::Ppm:
        return "ppm";
    case ListedOutcome::NotWritten:
        return "not written";
    case ListedOutcome::Alpha:
        return "alpha in";
    case ListedOutcome::Repeat:
        return "repeat, not written";
    case ListedOutcome::Cut:
        return "cut by a limit";
    }
    return "";
}

} // namespace talvore
