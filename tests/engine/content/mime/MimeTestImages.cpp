// The imaging tests' picture builders, shared with the thumbnail tests.
#include "tests/platform/imaging/TestImages.cpp"  // NOLINT(bugprone-suspicious-include)
