// Export marker of the engine library: only what carries QVMIDDLE_API is
// visible outside libQvMiddle.so.
#pragma once

#define QVMIDDLE_API __attribute__((visibility("default")))
