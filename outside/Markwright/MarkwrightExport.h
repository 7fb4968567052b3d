// Export marker of the HTML edit control library: only what carries
// MARKWRIGHT_API is seen by the program.
#pragma once

#define MARKWRIGHT_API __attribute__((visibility("default")))
