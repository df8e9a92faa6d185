#pragma once

namespace clipmill {

// A uniform whole number in [low, high], both ends included. Negative bounds count as 0
// and reversed bounds are swapped, as every random choice of the program expects.
int randomInclusive(int low, int high);

}  // namespace clipmill
