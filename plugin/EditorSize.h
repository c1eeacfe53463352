#pragma once

namespace ostratapedelay::plugin
{

/** The editor's only proportion, width over height (1000 / 456). */
inline constexpr double kEditorAspect = 2.1929824;

/**
 * Corrects a window size of w × h device pixels in place for platform scale p: clamped to
 * 750 × 342 .. 2000 × 912 (the upper limits times p, rounded, when p is above 1), then the
 * longer side shortened to the editor's proportion (nearest integer, halves away from zero).
 * Any thread.
 */
void correctEditorSize(int& w, int& h, float p);

} // namespace ostratapedelay::plugin
