// The application's pictures live in a static library, whose resource
// registration the linker may leave out: anything that shows them calls
// EnsureAppResources() first. Safe to call any number of times.
#pragma once

void EnsureAppResources();
